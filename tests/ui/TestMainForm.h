// The frame window with its file choosers answered from NextFile instead of a dialog.
#pragma once

#include "Feedback.h"
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
  // The upload question's informative texts. It is answered as Confirm answers it, or by the
  // real box (which the test answers) when RealUploadBox is set.
  QStringList UploadInfos;
  bool RealUploadBox = false;

 protected:
  QString ChooseOpenFile() override { return NextFile; }
  QString ChooseSaveFile() override { return NextFile; }
  QString ChooseDumpFile() override { return NextFile; }
  QString ChooseCompareFile() override { return NextFile; }
  TUnsavedChoice AskUnsavedWork(const QString& Question) override {
    UnsavedQuestions << Question;
    return NextChoice;
  }
  TUploadChoice AskUpload(const QString& Info, int Differing) override {
    UploadInfos << Info;
    if (RealUploadBox) return TMainForm::AskUpload(Info, Differing);
    return Confirm("Upload data to PBX?") ? upYes : upNo;
  }
};
