"""Builds the extension of velk_background_line and the command-line tool with CMake (the
project's own build), then puts into the package the compiled module, the tool, and every
shared library they load that is not part of the base system: the project's own and
Debian's Abseil libraries. Each gets the run path $ORIGIN, so that the installed package
needs neither the build tree nor Abseil on the machine."""

import os
import pathlib
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = pathlib.Path(__file__).parent.resolve()
TOOL = "velk-background-line"
# Shared libraries taken into the package besides the project's own (found in the build tree).
BUNDLED = re.compile(r"^libabsl_")


def project_version():
    """The version of CMakeLists.txt's project(), the one place it is written."""
    text = (ROOT / "CMakeLists.txt").read_text()
    found = re.search(r"project\(\s*VelkBackgroundLine\s+VERSION\s+([0-9][0-9.]*)", text)
    if not found:
        sys.exit("setup.py: no project(VelkBackgroundLine VERSION ...) in CMakeLists.txt")
    return found.group(1)


def shared_libraries(binary, search):
    """(soname, path) of every shared library `binary` loads, as ldd resolves them."""
    env = dict(os.environ, LD_LIBRARY_PATH=str(search))
    out = subprocess.run(["ldd", str(binary)], check=True, capture_output=True, text=True,
                         env=env).stdout
    found = []
    for line in out.splitlines():
        parts = line.split()
        if len(parts) >= 3 and parts[1] == "=>":
            if parts[2] == "not":
                sys.exit(f"setup.py: {binary} needs {parts[0]}, which was not found")
            found.append((parts[0], pathlib.Path(parts[2])))
    return found


class CMakeExtension(Extension):
    def __init__(self, name):
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build_dir = pathlib.Path(self.build_temp).resolve() / "cmake"
        target = pathlib.Path(self.get_ext_fullpath(ext.name)).resolve()
        configure = [
            "cmake", "-S", str(ROOT), "-B", str(build_dir),
            "-DCMAKE_BUILD_TYPE=Release",
            "-DVELK_PYTHON=ON", "-DVELK_BUILD_TESTS=OFF", "-DVELK_BUILD_TOOLS=ON",
            f"-DPython_EXECUTABLE={sys.executable}",
            "-DCMAKE_BUILD_WITH_INSTALL_RPATH=ON",
        ]
        if shutil.which("ninja"):
            configure += ["-G", "Ninja"]
        subprocess.run(configure, check=True)
        jobs = os.environ.get("JOBS", "2")
        subprocess.run(["cmake", "--build", str(build_dir), "--target",
                        "velk_background_line_python", TOOL, "-j", jobs], check=True)
        module = pathlib.Path((build_dir / "python" / "wheel-files.txt").read_text().split()[0])
        tool = build_dir / "bin" / TOOL
        package = target.parent
        package.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(module, target)
        shutil.copyfile(tool, package / TOOL)
        os.chmod(package / TOOL, 0o755)
        # The libraries both load, by soname (symbolic links in the build tree and in
        # /usr/lib: copied as plain files).
        patched = [target, package / TOOL]
        libraries = {}
        for binary in (module, tool):
            for soname, path in shared_libraries(binary, build_dir / "lib"):
                if build_dir in path.resolve().parents or BUNDLED.match(soname):
                    libraries[soname] = path
        for soname, path in sorted(libraries.items()):
            shutil.copyfile(path, package / soname)
            patched.append(package / soname)
        for binary in patched:
            subprocess.run(["patchelf", "--set-rpath", "$ORIGIN", str(binary)], check=True)


setup(
    version=project_version(),
    packages=["velk_background_line"],
    package_dir={"": "python"},
    package_data={"velk_background_line": ["__init__.pyi", "py.typed"]},
    ext_modules=[CMakeExtension("velk_background_line._core")],
    cmdclass={"build_ext": CMakeBuild},
    # Out of the way of the CMake presets' build/ directory.
    options={"build": {"build_base": "build-python"}},
    zip_safe=False,
)
