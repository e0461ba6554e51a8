// app_scaling_probe — makes the program's four windows on the screen that
// QT_QPA_PLATFORM describes, in the current directory (where it first makes empty
// NAME.DBF and INFO.DBF), and prints for every window its client size and for every
// placed control its geometry and font height:
//   <window> <width> <height> <font px>
//   <window>.<control> <x> <y> <width> <height> <font px>
#include <QApplication>
#include <QWidget>
#include <cstdio>

#include "app/InfoFormUnit.h"
#include "app/KazFormUnit.h"
#include "app/MainUnit.h"
#include "app/TestUnit.h"
#include "app/form_scaling.h"
#include "app/testing_program.h"
#include "engine/table_creator.h"

namespace {

void MakeTable(const char* path, std::vector<const char*> fields) {
  velorin::TableSpec tableLayout;
  tableLayout.version = 0x03;
  tableLayout.codePage = 866;
  for (const char* field : fields) tableLayout.fields.push_back(velorin::ParseFieldSpec(field));
  velorin::CreateTable(path, tableLayout);
}

void Print(QWidget& window) {
  const QString name = window.objectName();
  std::printf("%s %d %d %d\n", qPrintable(name), window.width(), window.height(), window.font().pixelSize());
  for (QWidget* control : window.findChildren<QWidget*>()) {
    if (!velorin::IsPlacedControl(*control)) continue;
    const QRect g = control->geometry();
    std::printf("%s.%s %d %d %d %d %d\n", qPrintable(name), qPrintable(control->objectName()), g.x(), g.y(),
                g.width(), g.height(), control->font().pixelSize());
  }
}

}  // namespace

int main(int argc, char** argv) {
  MakeTable("NAME.DBF", {"NAME:C:15"});
  MakeTable("INFO.DBF", {"NAME:C:15", "VARIANT:C:2", "COUNT:N:4", "TRUECOUNT:N:4", "DATE:D"});
  velorin::PrepareApplicationEnvironment();
  QApplication application(argc, argv);
  velorin::PrepareApplication(application);
  const velorin::ScreenMetrics screen = velorin::PrimaryScreenMetrics();
  std::printf("screen %d %d\n", screen.width, screen.pixelsPerInch);
  velorin::TestingProgram program;
  Print(program.MainForm());
  Print(program.KazForm());
  Print(program.TestForm());
  Print(program.InfoForm());
  return 0;
}
