// Replays fuzz inputs without libFuzzer: feeds every file named on the command line, or
// found in a directory named there, to `LLVMFuzzerTestOneInput`, in name order. A finding
// aborts the process (the failing file is the last one printed); a run that finds no file
// fails, so that a missing corpus cannot pass unnoticed.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size);

int main(int argc, char** argv) {
  std::vector<std::filesystem::path> files;
  for (int argument = 1; argument < argc; ++argument) {
    std::filesystem::path const path{argv[argument]};
    if (std::filesystem::is_directory(path)) {
      for (auto const& entry : std::filesystem::directory_iterator{path}) {
        if (entry.is_regular_file()) files.push_back(entry.path());
      }
    } else if (std::filesystem::is_regular_file(path)) {
      files.push_back(path);
    } else {
      std::fprintf(stderr, "no such file or directory: %s\n", path.c_str());
      return 1;
    }
  }
  std::sort(files.begin(), files.end());
  if (files.empty()) {
    std::fprintf(stderr, "no input to replay\n");
    return 1;
  }
  for (auto const& file : files) {
    std::printf("replaying %s\n", file.c_str());
    std::fflush(stdout);
    std::ifstream stream{file, std::ios::binary};
    std::vector<std::uint8_t> const bytes{std::istreambuf_iterator<char>{stream},
                                          std::istreambuf_iterator<char>{}};
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  }
  std::printf("%zu inputs replayed without a finding\n", files.size());
  return 0;
}
