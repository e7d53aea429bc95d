// The dialogs over a record table (CO lines, extensions, DSS consoles) edit one record or
// several at once through the same steps, written here once: the selection, a working copy of
// the whole table that goes back into the store on OK (so that Prev / Next and Cancel never
// touch the store), the pre-read of the selected records that lack data, the combined record
// that shows the selection (items that differ undefined), the multi-edit store into every
// selected record, the uploads and Prev / Next.
//
// A table is described by a traits struct: the table and record types, the noun of the step
// buttons ("CO"), and static functions Of (the store's table), Record, HaveData, Read, Upload,
// BlockOf (a record's block by program code) and KeepUnchanged (after a record took the
// combined record and was renumbered, whatever came out as it was keeps its flags). The
// concrete dialog derives from TTableDlg<Traits>, holds Q_OBJECT and the controls, and fills
// the hooks below where it is really different.
#pragma once

#include <QPushButton>
#include <QString>
#include <memory>

#include "FKey.h"
#include "Feedback.h"
#include "IntList.h"
#include "ProgDlg.h"
#include "Ranges.h"

class QBoxLayout;

template <class Traits>
class TTableDlg : public TProgDlg {
 public:
  using TTable = typename Traits::TTable;
  using TRecord = typename Traits::TRecord;
  static constexpr int kCount = TTable::kRecordCount;

  const TIntegerList& Selected() const { return fSelected; }
  const TTable& WorkingCopy() const { return fWork; }

 protected:
  // Numbers outside 1..kCount cannot be edited and come once each, in order; an empty
  // selection edits record 1.
  TTableDlg(QWidget* Parent, const TIntegerList& Selection) : TProgDlg(Parent) {
    TIntegerList sorted;
    sorted.Assign(Selection);
    sorted.Sort();
    for (int n : sorted.Values())
      if (n >= 1 && n <= kCount && fSelected.IndexOf(n) < 0) fSelected.Add(n);
    if (fSelected.Count() == 0) fSelected.Add(1);
  }

  TTable& Work() { return fWork; }

  // The row of Prev, Next, OK, Cancel and Help under the dialog's contents.
  void AddButtons(QBoxLayout* Top, int Help) {
    AddPrevNextOkCancelHelp(this, Top, Help, Traits::kNoun, fPrev, fNext);
    connect(fPrev, &QPushButton::clicked, this, [this] { Navigate(fPrevTarget); });
    connect(fNext, &QPushButton::clicked, this, [this] { Navigate(fNextTarget); });
  }

  // ---- hooks ----
  // The window title and a step button's caption naming the record it steps to.
  virtual QString Caption() const {
    TIntegerList shown;
    shown.Assign(fSelected);
    return QString(Traits::kNoun) + " " + QString::fromStdString(FormatRanges(shown));
  }
  virtual QString StepCaption(int Target) const {
    return QString(Traits::kNoun) + " " + QString::number(Target);
  }
  // After the caption and Prev / Next: what else depends on the selection.
  virtual void RefreshPage() {}
  // After a read on Prev / Next: the working copy takes what was read for Target.
  virtual void TakeRead(int Target) {
    Traits::Record(fWork, Target).Assign(Traits::Record(Table(), Target));
  }
  // The combined record: Other is a further selected record, already compared item 1 by item 1.
  virtual void MarkFurther(TRecord& /*Shown*/, const TRecord& /*Other*/) {}
  // After the bound controls were loaded from, or stored into, the combined record.
  virtual void LoadMore(const TRecord& /*Shown*/) {}
  virtual void StoreMore(TRecord& /*Scratch*/) {}
  // After the combined record went into every selected record: what the dialog edits outside
  // the records.
  virtual void StoreTable() {}

  // Reads the selected records lacking data (all with Force) unless every one holds data and
  // Force is not set; true when a read ran and succeeded.
  bool ReadSelection(const TIntegerList& Sel, bool Force) {
    TTable& store = Table();
    if (!Force && Traits::HaveData(store, Sel)) return false;
    TIntegerList read;
    for (int n : Sel.Values())
      if (Force || !Traits::Record(store, n).HasActualData()) read.Add(n);
    return Guarded([&] { return Traits::Read(store, read); });
  }

  void RefreshFrame() {
    setWindowTitle(Caption());
    const int low = fSelected.First(), high = fSelected.Last();
    fPrevTarget = low > 1 ? low - 1 : 0;
    fNextTarget = high < kCount ? high + 1 : 0;
    const QString noun = Traits::kNoun;
    fPrev->setEnabled(fPrevTarget != 0);
    SetStepCaption(fPrev, fPrevTarget ? StepCaption(fPrevTarget) : "Prev " + noun);
    fNext->setEnabled(fNextTarget != 0);
    SetStepCaption(fNext, fNextTarget ? StepCaption(fNextTarget) : "Next " + noun);
    RefreshPage();
  }

  // ---- the steps of TProgDlg ----
  void PreRead(bool Force) override { ReadSelection(fSelected, Force); }
  void Prepare() override {
    fWork.Assign(Table());
    RefreshFrame();
  }
  bool HasData() const override { return Traits::HaveData(fWork, fSelected); }

  void LoadControls() override {
    // One record shows every selected record; where their items differ it shows undefined.
    const int first = fSelected.First();
    TRecord shown(first, nullptr);
    shown.Assign(Traits::Record(fWork, first));
    for (int i = 1; i < fSelected.Count(); ++i) {
      const TRecord& other = Traits::Record(fWork, fSelected[i]);
      shown.MarkDifferences(other);
      MarkFurther(shown, other);
    }
    Bindings().Load(
        [&](const std::string& Code) -> TCmdData& { return Traits::BlockOf(shown, Code); });
    LoadMore(shown);
  }

  void StoreControls() override {
    // What the controls leave undefined stays each record's own; every block the controls
    // decide completely replaces that block of every selected record.
    const int first = fSelected.First();
    TRecord scratch(first, nullptr);
    scratch.Assign(Traits::Record(fWork, first));
    scratch.SetMultiEdit(true);
    Bindings().Store(
        [&](const std::string& Code) -> TCmdData& { return Traits::BlockOf(scratch, Code); });
    StoreMore(scratch);
    // Renumbering a copied block alters its text, which alone must not make it an edit of the
    // other records: what comes out as it was keeps its flags.
    for (int n : fSelected.Values()) {
      TRecord& rec = Traits::Record(fWork, n);
      TRecord before(n, nullptr);
      before.Assign(rec);
      rec.AssignKnown(scratch);
      rec.SetNumber(n);
      Traits::KeepUnchanged(rec, before);
    }
    StoreTable();
  }

  void Commit() override { Table().Assign(fWork); }
  bool HasChanges() const override { return Table().HasChanges(); }
  bool UploadAll() override { return Traits::Upload(Table(), fSelected); }
  bool UploadChanged() override { return Table().UploadChanged(true); }

  void Navigate(int Target) {
    if (Target < 1 || Target > kCount) return;
    StoreControls();
    fSelected.Clear();
    fSelected.Add(Target);
    if (OnLine() && ReadSelection(fSelected, FKeyHeld())) TakeRead(Target);
    if (!HasData()) ShowNoData();
    RefreshFrame();
    LoadControls();
  }

 private:
  TTable& Table() const { return Traits::Of(Store()); }

  TIntegerList fSelected;
  TTable fWork;
  int fPrevTarget = 0, fNextTarget = 0;
  QPushButton *fPrev = nullptr, *fNext = nullptr;
};
