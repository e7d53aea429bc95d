#include <QHBoxLayout>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "ButtonPages.h"
#include "CopyButtons.h"
#include "EXTparam.h"

// The button pages of the extension dialog.

void TEXTprmDlg::BuildButtonPages(QTabWidget* Pages) {
  Pages->addTab(BuildButtonPage("COButtonsPage", fCOPage, "CopyBtnsCO", &fCopyCO), "CO buttons");
  Pages->addTab(BuildButtonPage("PFButtonsPage", fPFPage, "CopyBtnsPF", &fCopyPF), "PF buttons");
  Pages->addTab(BuildButtonPage("MessagePage", fMsgPage, nullptr, nullptr), "Message");
  // CO and PF buttons as on the largest sets (24 each, numbered from the bottom left), the
  // message button alone.
  fCOButtons = new TButtonPage(TButtonKind::CO, "BtnGrid1", 12, 2, fCOPage);
  fPFButtons = new TButtonPage(TButtonKind::PF, "BtnGrid2", 12, 2, fPFPage);
  fMsgButton = new TButtonPage(TButtonKind::Message, "BtnGrid3", 1, 1, fMsgPage);
  fCOButtons->PutLabelsBeside();
  fPFButtons->PutLabelsBeside();
  for (TButtonPage* b : {fCOButtons, fPFButtons, fMsgButton}) {
    b->SetNumbers(&Work().Cmd009);
    b->parentWidget()->layout()->addWidget(b);
    static_cast<QVBoxLayout*>(b->parentWidget()->layout())->addStretch();
    connect(b, &TButtonPage::Changed, this, [this, b] {
      if (b == fMsgButton) {
        if (b->Block()) fScratchMsg.Assign(*b->Block());
        fScratchMsg.AllowUndefined = true;
        return;
      }
      TCmdList& scratch = b == fCOButtons ? fScratchBC : fScratchBF;
      scratch.Assign(b->Lines());
      for (int i = 0; i < scratch.Count(); ++i) scratch.Items(i).AllowUndefined = true;
    });
  }
}

QWidget* TEXTprmDlg::BuildButtonPage(const char* Name, QWidget*& Container, const char* CopyName,
                                     QPushButton** Copy) {
  auto* page = new QWidget;
  auto* l = new QVBoxLayout(page);
  Container = new QWidget(page);
  Container->setObjectName(Name);
  new QVBoxLayout(Container);
  l->addWidget(Container, 1);
  if (Copy) {
    auto* row = new QHBoxLayout;
    auto* copy = new QPushButton("Copy btns..", page);
    copy->setObjectName(CopyName);
    *Copy = copy;
    row->addStretch();
    row->addWidget(copy);
    l->addLayout(row);
    connect(copy, &QPushButton::clicked, this, [this] { CopyButtons(); });
  }
  return page;
}

void TEXTprmDlg::ReloadButtonPages() {
  fCOButtons->SetLines(fScratchBC);
  fPFButtons->SetLines(fScratchBF);
  fMsgButton->SetBlock(fScratchMsg);
}

void TEXTprmDlg::CopyButtons() {
  if (Selected().Count() != 1) return;
  const int own = Selected().First();
  // The button pages' edits so far are part of what is copied: they go into the own jack of
  // the working copy first (Cancel still discards all of it).
  TExtensionData& mine = Work().Jacks(own);
  TExtensionData before(own, nullptr);
  before.Assign(mine);
  mine.BC.AssignDefined(fScratchBC);
  mine.BF.AssignDefined(fScratchBF);
  mine.BlockOf("BM01").AssignIfDefined(fScratchMsg);
  mine.SetJack(own);
  KeepUnchangedJack(mine, before);

  TCopyBtnDlg dlg(own, Work(), this);
  if (dlg.exec() != QDialog::Accepted) return;
  if (dlg.Destinations().IndexOf(own) < 0) return;
  fScratchBC.Assign(mine.BC);
  fScratchBF.Assign(mine.BF);
  for (TCmdList* l : {&fScratchBC, &fScratchBF})
    for (int i = 0; i < l->Count(); ++i) l->Items(i).AllowUndefined = true;
  ReloadButtonPages();
}
