// The frame window with its file choosers answered from NextFile instead of a dialog.
#pragma once

#include "Main.h"

class TTestMainForm : public TMainForm {
 public:
  using TMainForm::TMainForm;
  QString NextFile;

 protected:
  QString ChooseOpenFile() override { return NextFile; }
  QString ChooseSaveFile() override { return NextFile; }
  QString ChooseDumpFile() override { return NextFile; }
};
