// A focusable grid of equal cells, each drawn like a key of a telephone set: a label at the
// top and a button image below it, or (bgLabelBeside) the key at the cell's left and its label
// beside it, as the paper strip sits beside the keys of a set. The owner supplies labels and hints and is told of presses.
#pragma once

#include <QPixmap>
#include <QVector>
#include <QWidget>
#include <functional>

enum TBtnState { bsUpUnfocused, bsUpFocused, bsPressed, bsDisabled };
enum TBGOption { bgDrawCentered = 1, bgOverlayShifts = 2, bgTransparent = 4, bgLeftAlign = 8,
                 bgLabelBeside = 16 };

class TBtnGrid : public QWidget {
  Q_OBJECT
 public:
  using TCellTextEvent = std::function<void(TBtnGrid* Sender, int Col, int Row, QString& HintStr)>;
  using TCellEvent = std::function<void(TBtnGrid* Sender, int Col, int Row)>;

  // Between a key and its label beside it (bgLabelBeside).
  static constexpr int kLabelGap = 6;

  explicit TBtnGrid(QWidget* Parent = nullptr);
  ~TBtnGrid() override;

  // One image per TBtnState; a missing index draws no image for that state. Cells grow to the
  // largest image, and the control with them.
  void SetImages(const QVector<QPixmap>& Images);
  const QVector<QPixmap>& Images() const { return fImages; }
  // One overlay per cell, index Row * ColCount + Col.
  void SetOverlayImages(const QVector<QPixmap>& Images);
  void SetOptions(int Options);
  int Options() const { return fOptions; }

  int Col() const { return fCol; }
  int Row() const { return fRow; }
  void SetCol(int Col);
  void SetRow(int Row);
  int ColCount() const { return fColCount; }
  int RowCount() const { return fRowCount; }
  int ColWidth() const { return fColWidth; }
  int RowHeight() const { return fRowHeight; }
  void SetColCount(int N);
  void SetRowCount(int N);
  void SetColWidth(int W);
  void SetRowHeight(int H);
  TBtnState FocusedState() const { return fFocusedState; }
  void SetFocusedState(TBtnState S);
  void SetShiftXbmp(int X) { fShiftX = X; update(); }
  void SetShiftYbmp(int Y) { fShiftY = Y; update(); }

  QRect CellRect(int Col, int Row) const;
  // The control is as large as its cells: ColCount x ColWidth by RowCount x RowHeight.
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  // The state a cell is drawn in: the current cell in FocusedState, every other one up.
  TBtnState CellState(int Col, int Row) const;
  QString CellLabel(int Col, int Row);

  TCellTextEvent OnGetHintEvent;
  TCellTextEvent OnGetLblEvent;
  TCellEvent OnBtnClick;

  // The grid whose hint hook serves every grid, if any.
  static TBtnGrid* HintHookOwner();
  // The hint the hook shows for Grid's cell (Col, Row).
  static QString HintFor(TBtnGrid* Grid, int Col, int Row);

 protected:
  void paintEvent(QPaintEvent*) override;
  void keyPressEvent(QKeyEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
  void focusInEvent(QFocusEvent*) override;
  void focusOutEvent(QFocusEvent*) override;
  bool event(QEvent* Event) override;

 private:
  void MoveTo(int Col, int Row);
  void Press();
  void UpdateSize();
  void DrawCell(QPainter& P, int Col, int Row, TBtnState State);

  QVector<QPixmap> fImages, fOverlays;
  int fOptions = 0;
  int fCol = 0, fRow = 0;
  int fColCount = 3, fRowCount = 3;
  int fColWidth = 15, fRowHeight = 15;
  int fShiftX = 0, fShiftY = 0;
  TBtnState fFocusedState = bsUpUnfocused;
  bool fOwnsHook = false;
};

// Images of a telephone key in each state, drawn for the given size (ours to make: no files).
QVector<QPixmap> MakeKeyImages(int Width, int Height);
