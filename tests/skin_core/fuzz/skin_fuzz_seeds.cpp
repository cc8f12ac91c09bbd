// Writes the test skins' archives and options texts as fuzz seeds:
//   skin_fuzz_seeds <archive seed folder> <options seed folder>
#include <string>

#include "SkinFixtures.h"

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  using namespace skintest;
  const SkinFiles skins[] = {MinimalSkin(), FlatSkin(), FramedSkin()};
  int n = 0;
  for (const SkinFiles& s : skins) {
    WriteFile(std::string(argv[1]) + "/seed" + std::to_string(n), s.Archive(n % 2 == 0, n == 2 ? Bytes{1, 2, 3} : Bytes{}));
    WriteFile(std::string(argv[2]) + "/seed" + std::to_string(n), std::string(1, char(n * 37)) + s.options.Text());
    ++n;
  }
  return 0;
}
