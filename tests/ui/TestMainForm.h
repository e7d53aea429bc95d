// The frame window with its file choosers answered from NextFile instead of a dialog.
#pragma once

#include "Main.h"
#include "Paths.h"
#include "SysData.h"
#include "TempDir.h"

// Every folder of the program in Dir (portable use), and an empty, offline store with the
// default settings.
inline void FreshProgramState(const TTempDir& Dir) {
  TAppPaths p;
  p.ProgramDir = p.ConfigDir = p.StateDir = p.DataDir = Dir.Path();
  p.Portable = true;
  SetAppPaths(p);
  SysData().ClearData();
  SysData().OnLine = false;
  SysData().HaveFileData = false;
  SysData().Settings = TSettings();
}

class TTestMainForm : public TMainForm {
 public:
  using TMainForm::TMainForm;
  QString NextFile;
  // The answer to the unsaved-work question, and the questions asked.
  TUnsavedChoice NextChoice = ucCancel;
  QStringList UnsavedQuestions;

 protected:
  QString ChooseOpenFile() override { return NextFile; }
  QString ChooseSaveFile() override { return NextFile; }
  QString ChooseDumpFile() override { return NextFile; }
  QString ChooseCompareFile() override { return NextFile; }
  TUnsavedChoice AskUnsavedWork(const QString& Question) override {
    UnsavedQuestions << Question;
    return NextChoice;
  }
};
