// Tarnwick: a batch converter for video and audio files.

#include "app/ConverterFrm.h"

int main() {
  return RunTarnwick();
}
