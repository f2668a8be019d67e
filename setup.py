"""Builds the extension of velk_background_line with CMake (the project's own build), then
puts the compiled module and the project's shared libraries it loads into the package."""

import os
import pathlib
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = pathlib.Path(__file__).parent.resolve()


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
            "-DVELK_PYTHON=ON", "-DVELK_BUILD_TESTS=OFF", "-DVELK_BUILD_TOOLS=OFF",
            f"-DPython_EXECUTABLE={sys.executable}",
            # The wheel's libraries find each other, and the module finds them, beside
            # themselves ($ORIGIN), wherever the package is installed.
            "-DCMAKE_BUILD_WITH_INSTALL_RPATH=ON",
        ]
        if shutil.which("ninja"):
            configure += ["-G", "Ninja"]
        subprocess.run(configure, check=True)
        jobs = os.environ.get("JOBS", "2")
        subprocess.run(["cmake", "--build", str(build_dir), "--target",
                        "velk_background_line_python", "-j", jobs], check=True)
        files = (build_dir / "python" / "wheel-files.txt").read_text().split()
        target.parent.mkdir(parents=True, exist_ok=True)
        # The first file is the module, the others are libraries named by their soname
        # (symbolic links in the build tree): copied as plain files.
        shutil.copyfile(files[0], target)
        for library in files[1:]:
            shutil.copyfile(library, target.parent / pathlib.Path(library).name)


setup(
    packages=["velk_background_line"],
    package_dir={"": "python"},
    package_data={"velk_background_line": ["__init__.pyi", "py.typed"]},
    ext_modules=[CMakeExtension("velk_background_line._core")],
    cmdclass={"build_ext": CMakeBuild},
    # Out of the way of the CMake presets' build/ directory.
    options={"build": {"build_base": "build-python"}},
    zip_safe=False,
)
