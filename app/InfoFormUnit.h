// InfoFormUnit.h — the results window: the recorded results of INFO.DBF in a
// read-only grid.
//
// The grid is linked (ResultsModel) to the main window's open InfoTable; every
// showing re-reads it, so a result added by the test that has just ended shows.
// The window keeps no state of its own.
#pragma once

#include "app/info_form_layout.h"
#include "app/results_model.h"
#include "app/velorin_dialog.h"

namespace velorin {

class TMainForm;

class TInfoForm : public TVelorinDialog {
  Q_OBJECT
 public:
  TInfoForm(TMainForm& mainForm, QWidget* parent = nullptr);
  ~TInfoForm() override;

  // Re-reads the results and shows the window modally until it closes.
  void ShowModal();
  // Re-reads the results into the grid, standing on the first row.
  void LoadResults();

  ResultsModel& DataSource1() { return dataSource1_; }

  // Handlers.
  void FormCreate();
  void CloseBtnClick();

 private:
  void ApplyColumnWidths();

  InfoFormLayout ui_;
  ResultsModel dataSource1_;
};

}  // namespace velorin
