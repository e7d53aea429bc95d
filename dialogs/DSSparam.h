// The DSS console parameters dialog: the port, the paired extension, the 32 DSS buttons and the
// 16 PF buttons of one console or of both at once. It edits a working copy of the DSS console
// table and assigns it back on OK, so that Prev / Next and Cancel never touch the store.
#pragma once

#include "DSSdata.h"
#include "TableDlg.h"

class QComboBox;
class QLabel;
class TButtonPage;

constexpr int kHelpDSSparams = 4100;

// The DSS console table to the dialog base.
struct TDSSconsoleTraits {
  using TTable = TDSSarray;
  using TRecord = TDSSdata;
  static constexpr const char* kNoun = "DSS";
  static TDSSarray& Of(TSysData& Store);
  static TDSSdata& Record(TDSSarray& T, int N) { return T.Consoles(N); }
  static const TDSSdata& Record(const TDSSarray& T, int N) { return T.Consoles(N); }
  static bool HaveData(const TDSSarray& T, const TIntegerList& L) {
    return T.ConsolesHaveData(L);
  }
  static bool Read(TDSSarray& T, const TIntegerList& L) { return T.ReadConsoles(L, true); }
  static bool Upload(TDSSarray& T, const TIntegerList& L) { return T.UploadConsoles(L, true); }
  static TCmdData& BlockOf(TDSSdata& R, const std::string& Code) {
    return Code == "003D" ? R.Cmd003D : R.Cmd004D;
  }
  static void KeepUnchanged(TDSSdata& R, const TDSSdata& Before);
};

class TDSSprmDlg : public TTableDlg<TDSSconsoleTraits> {
  Q_OBJECT
 public:
  TDSSprmDlg(QWidget* Parent, const TIntegerList& Consoles);

 protected:
  // The extension numbers first: the buttons show them and the pair is chosen by them.
  void PreRead(bool Force) override;
  // The extension entries (they may have been read since the dialog opened), the enabling.
  void RefreshPage() override;
  void LoadMore(const TDSSdata& Shown) override;
  void StoreMore(TDSSdata& Scratch) override;

 private:
  void DeclareBindings();

  QComboBox *fPort, *fPair;
  QLabel *fPortLbl, *fPairLbl;
  TButtonPage *fDSSbtns, *fPFbtns;
};

// Opens the dialog for the given DSS consoles (1, 2); true when it was closed with OK.
bool EditDSSConsoles(QWidget* Parent, const TIntegerList& Consoles);
