// velorin-testing — the testing program. It takes no arguments and works on the
// tables in the current directory.
#include <QApplication>

#include "app/testing_program.h"

int main(int argc, char** argv) {
  velorin::PrepareApplicationEnvironment();
  QApplication application(argc, argv);
  velorin::PrepareApplication(application);
  velorin::TestingProgram program;
  return program.Run(application);
}
