#include "BtnGrid.h"

#include <QApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

namespace {

// The one program-wide hint hook: an application event filter installed by the first grid.
class THintHook : public QObject {
 public:
  explicit THintHook(TBtnGrid* Owner) : fOwner(Owner) {}
  TBtnGrid* Owner() const { return fOwner; }

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override {
    if (Event->type() != QEvent::ToolTip) return false;
    auto* grid = qobject_cast<TBtnGrid*>(Watched);
    if (!grid) return false;  // other controls keep their own hints
    auto* help = static_cast<QHelpEvent*>(Event);
    const int col = help->pos().x() / grid->ColWidth();
    const int row = help->pos().y() / grid->RowHeight();
    const QString hint = TBtnGrid::HintFor(grid, col, row);
    if (hint.isEmpty()) {
      QToolTip::hideText();
    } else {
      // Shown only while the pointer stays in the cell, for 700 ms; another cell asks again.
      QToolTip::showText(help->globalPos(), hint, grid, grid->CellRect(col, row), 700);
    }
    return true;
  }

 private:
  TBtnGrid* fOwner;
};

THintHook* gHook = nullptr;

}  // namespace

TBtnGrid::TBtnGrid(QWidget* Parent) : QWidget(Parent) {
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_Hover);
  UpdateSize();
  if (!gHook && qApp) {
    gHook = new THintHook(this);
    qApp->installEventFilter(gHook);
    fOwnsHook = true;
  }
}

TBtnGrid::~TBtnGrid() {
  if (fOwnsHook && gHook) {
    qApp->removeEventFilter(gHook);
    delete gHook;
    gHook = nullptr;
  }
}

TBtnGrid* TBtnGrid::HintHookOwner() { return gHook ? gHook->Owner() : nullptr; }

QString TBtnGrid::HintFor(TBtnGrid* Grid, int Col, int Row) {
  TBtnGrid* owner = HintHookOwner();
  if (!owner) return QString();
  QString hint;
  if (owner->OnGetHintEvent) {
    owner->OnGetHintEvent(Grid, Col, Row, hint);
  } else {
    // Numbered by the grid under the pointer, so that each grid counts its own buttons.
    hint = QString("Button %1").arg(Row * Grid->ColCount() + Col + 1);
  }
  return hint;
}

QSize TBtnGrid::sizeHint() const { return QSize(fColCount * fColWidth, fRowCount * fRowHeight); }

QSize TBtnGrid::minimumSizeHint() const { return sizeHint(); }

void TBtnGrid::UpdateSize() {
  // Exactly the cells: a layout that gave the grid less would hide its last column or row.
  setFixedSize(sizeHint());
}

void TBtnGrid::SetImages(const QVector<QPixmap>& Images) {
  fImages = Images;
  for (const QPixmap& p : fImages) {
    if (p.width() > fColWidth) fColWidth = p.width();
    if (p.height() > fRowHeight) fRowHeight = p.height();
  }
  UpdateSize();
  update();
}

void TBtnGrid::SetOverlayImages(const QVector<QPixmap>& Images) {
  fOverlays = Images;
  update();
}

void TBtnGrid::SetOptions(int Options) {
  fOptions = Options;
  update();
}

void TBtnGrid::SetColCount(int N) {
  if (N == fColCount) return;
  fColCount = N;
  UpdateSize();
}

void TBtnGrid::SetRowCount(int N) {
  if (N == fRowCount) return;
  fRowCount = N;
  UpdateSize();
}

void TBtnGrid::SetColWidth(int W) {
  if (W == fColWidth) return;
  fColWidth = W;
  UpdateSize();
}

void TBtnGrid::SetRowHeight(int H) {
  if (H == fRowHeight) return;
  fRowHeight = H;
  UpdateSize();
}

QRect TBtnGrid::CellRect(int Col, int Row) const {
  return QRect(QPoint(Col * fColWidth, Row * fRowHeight),
               QPoint(Col * fColWidth + fColWidth - 1, Row * fRowHeight + fRowHeight - 1));
}

TBtnState TBtnGrid::CellState(int Col, int Row) const {
  return Col == fCol && Row == fRow ? fFocusedState : bsUpUnfocused;
}

QString TBtnGrid::CellLabel(int Col, int Row) {
  QString label;
  if (OnGetLblEvent) OnGetLblEvent(this, Col, Row, label);
  return label;
}

void TBtnGrid::SetCol(int Col) {
  if (Col != fCol) MoveTo(Col, fRow);
}

void TBtnGrid::SetRow(int Row) {
  if (Row != fRow) MoveTo(fCol, Row);
}

void TBtnGrid::SetFocusedState(TBtnState S) {
  if (S == fFocusedState) return;
  fFocusedState = S;
  update(CellRect(fCol, fRow));
}

void TBtnGrid::MoveTo(int Col, int Row) {
  auto inside = [this](int c, int r) {
    return c >= 0 && c < fColCount && r >= 0 && r < fRowCount;
  };
  if (!inside(Col, Row)) {
    if (Col >= fColCount && Row < fRowCount - 1) {
      Col = 0;
      ++Row;
    } else if (Col < 0 && Row >= 1) {
      Col = fColCount - 1;
      --Row;
    }
  }
  if (inside(Col, Row)) {
    if (Col == fCol && Row == fRow) return;
    update(CellRect(fCol, fRow));
    fCol = Col;
    fRow = Row;
    fFocusedState = bsUpFocused;
    update(CellRect(fCol, fRow));
    return;
  }
  // Past either end: let the parent move the focus on to its neighbouring control.
  if (QWidget* p = parentWidget()) {
    const bool before = Col < fColCount && Row < fRowCount;
    QCoreApplication::postEvent(
        p, new QKeyEvent(QEvent::KeyPress, before ? Qt::Key_Up : Qt::Key_Down, Qt::NoModifier));
  }
}

void TBtnGrid::Press() {
  SetFocusedState(bsPressed);
  repaint(CellRect(fCol, fRow));  // the pressed look shows before the owner acts
  if (OnBtnClick) OnBtnClick(this, fCol, fRow);
  SetFocusedState(bsUpFocused);
}

void TBtnGrid::DrawCell(QPainter& P, int Col, int Row, TBtnState State) {
  const QRect r = CellRect(Col, Row);
  const bool beside = fOptions & bgLabelBeside;
  const int keyW = fImages.isEmpty() ? 0 : fImages[0].width();
  if (OnGetLblEvent) {
    const QString label = CellLabel(Col, Row);
    P.fillRect(r, palette().color(backgroundRole()));
    P.setPen(palette().color(foregroundRole()));
    if (beside) {
      P.drawText(r.adjusted(fShiftX + keyW + kLabelGap, 0, 0, 0),
                 Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, label);
    } else {
      const int align =
          (fOptions & bgLeftAlign ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignTop;
      P.drawText(r, align | Qt::TextSingleLine, label);
    }
  }
  auto drawCentered = [&](const QPixmap& Img, int Shift) {
    const int x = (beside ? r.left() : (r.left() + r.right() - Img.width()) / 2) + fShiftX + Shift;
    const int y = (r.top() + r.bottom() - Img.height()) / 2 + fShiftY + Shift;
    if (fOptions & bgTransparent) {
      P.drawPixmap(x, y, Img);  // the pixmap's own alpha leaves its transparent colour out
    } else {
      QPixmap solid(Img.size());
      solid.fill(palette().color(backgroundRole()));
      QPainter sp(&solid);
      sp.drawPixmap(0, 0, Img);
      sp.end();
      P.drawPixmap(x, y, solid);
    }
  };
  if (State < fImages.size() && !fImages[State].isNull()) drawCentered(fImages[State], 0);
  const int overlay = Row * fColCount + Col;
  if (overlay < fOverlays.size() && !fOverlays[overlay].isNull())
    drawCentered(fOverlays[overlay], (fOptions & bgOverlayShifts) && State == bsPressed ? 1 : 0);
}

void TBtnGrid::paintEvent(QPaintEvent*) {
  QPainter p(this);
  for (int c = 0; c < fColCount; ++c)
    for (int r = 0; r < fRowCount; ++r) DrawCell(p, c, r, CellState(c, r));
}

void TBtnGrid::keyPressEvent(QKeyEvent* Event) {
  switch (Event->key()) {
    case Qt::Key_Left: MoveTo(fCol - 1, fRow); break;
    case Qt::Key_Right: MoveTo(fCol + 1, fRow); break;
    case Qt::Key_Up: MoveTo(fCol, fRow - 1); break;
    case Qt::Key_Down: MoveTo(fCol, fRow + 1); break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space: Press(); break;
    default: QWidget::keyPressEvent(Event); return;
  }
  Event->accept();
}

void TBtnGrid::mousePressEvent(QMouseEvent* Event) {
  setFocus(Qt::MouseFocusReason);
  const int col = Event->position().toPoint().x() / fColWidth;
  const int row = Event->position().toPoint().y() / fRowHeight;
  if (col != fCol || row != fRow) {
    SetCol(col);
    SetRow(row);
  }
  QWidget::mousePressEvent(Event);
}

void TBtnGrid::mouseReleaseEvent(QMouseEvent* Event) {
  if (Event->button() == Qt::LeftButton && rect().contains(Event->position().toPoint())) Press();
  SetFocusedState(bsUpFocused);
  QWidget::mouseReleaseEvent(Event);
}

void TBtnGrid::focusInEvent(QFocusEvent*) { SetFocusedState(bsUpFocused); }

void TBtnGrid::focusOutEvent(QFocusEvent*) {
  if (fFocusedState == bsUpFocused) SetFocusedState(bsUpUnfocused);
}

bool TBtnGrid::event(QEvent* Event) {
  // Arrow keys belong to the grid, not to the dialog's focus chain.
  if (Event->type() == QEvent::KeyPress) {
    const int k = static_cast<QKeyEvent*>(Event)->key();
    if (k == Qt::Key_Left || k == Qt::Key_Right || k == Qt::Key_Up || k == Qt::Key_Down) {
      keyPressEvent(static_cast<QKeyEvent*>(Event));
      return true;
    }
  }
  return QWidget::event(Event);
}

QVector<QPixmap> MakeKeyImages(int Width, int Height) {
  QVector<QPixmap> images;
  for (int state = bsUpUnfocused; state <= bsDisabled; ++state) {
    QPixmap pm(Width, Height);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF body(1.5, 1.5, Width - 3.0, Height - 3.0);
    const bool pressed = state == bsPressed;
    const bool disabled = state == bsDisabled;
    QLinearGradient g(body.topLeft(), body.bottomLeft());
    const QColor top = disabled ? QColor(215, 215, 215) : QColor(250, 250, 248);
    const QColor bottom = disabled ? QColor(190, 190, 190) : QColor(170, 172, 178);
    g.setColorAt(0, pressed ? bottom : top);
    g.setColorAt(1, pressed ? top : bottom);
    QPainterPath key;
    key.addRoundedRect(body.translated(pressed ? 1 : 0, pressed ? 1 : 0), 4, 4);
    if (!pressed) {  // the key's shadow, gone when it is pushed down
      p.fillPath(key.translated(1, 1), QColor(0, 0, 0, 70));
    }
    p.fillPath(key, g);
    p.setPen(QPen(state == bsUpFocused ? QColor(30, 90, 200) : QColor(90, 90, 95),
                  state == bsUpFocused ? 2.0 : 1.0));
    p.drawPath(key);
    // A small lamp at the key's left, as system phones have beside their line keys.
    const QRectF lamp(body.left() + 4, body.center().y() - 2.5, 5, 5);
    p.setBrush(disabled ? QColor(160, 160, 160) : QColor(60, 160, 70));
    p.setPen(Qt::NoPen);
    p.drawEllipse(lamp.translated(pressed ? 1 : 0, pressed ? 1 : 0));
    p.end();
    images.push_back(pm);
  }
  return images;
}
