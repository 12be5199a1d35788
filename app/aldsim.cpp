#include "sim/AldSimApp.h"

int main(int argc, char** argv) {
  return AldSimApp::Main(argc, argv);
}
