#include "ui/TiltdeckApp.h"

int main(int argc, char** argv) {
  return TiltdeckApp::Main(argc, argv);
}
