// Tarnwick: a batch converter for video and audio files.

#include "app/ConverterFrm.h"

int main(int argc, char** argv) {
  return RunTarnwick(std::vector<String>(argv, argv + argc));
}
