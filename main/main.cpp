// The program tovrin: the main window with the real player windows wired in.

#include "main/Program.h"
#include "main/ViewFactory.h"

int main(int argc, char** argv) {
    return tovrin::RunProgram(argc, argv,
                              [](tovrin::PlayerHost& host, tovrin::MessageBoxes& boxes) {
                                  return std::make_unique<tovrin::ViewFactory>(host, boxes);
                              });
}
