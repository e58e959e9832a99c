#pragma once
#include <QImage>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>

class QLabel;
class QWidget;

// Paints the frame of a borderless window from the bitmaps of one style ("G", "B", "O"):
// title bar with icon, caption, minimize and close buttons, the side and bottom edges and
// the client colour, and cuts the window's shape from the title bar's key colour.
// The frame is painted once; the window keeps a fixed size.
class TSkinManEx : public QObject {
public:
    // Paints at once. A window with a system frame, or not wider than 250 or not taller
    // than 188 pixels, is left alone. Throws TError when the style's bitmaps are missing;
    // nothing is painted then.
    TSkinManEx(QLabel *imgLeft, QLabel *imgTop, QLabel *imgRight, QLabel *imgBottom,
               QWidget *pnlCenter, const QString &style);
    ~TSkinManEx() override;

    QString Style() const { return m_style; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class Button { None, Minimize, Close };

    void PaintFrame(const QImage &sheet);
    void CreateTitleControls(const QImage &icon);
    QLabel *CreateButton(const char *name, const QString &hint, const QString &spokenName, int x);
    void DrawButton(const QString &kind, const QString &state);
    void CutWindowShape();
    bool TitleMouse(QEvent *event);
    bool ButtonMouse(Button button, QEvent *event);

    QString m_style;
    QPointer<QWidget> m_window;
    QPointer<QLabel> m_imgLeft, m_imgTop, m_imgRight, m_imgBottom;
    QPointer<QWidget> m_pnlCenter;
    QImage m_titleStrip;

    // Created here and deleted here, in this order.
    QPointer<QLabel> m_icon, m_caption, m_minimize, m_close;

    Button m_pressed = Button::None;
    // Dragging by hand where the platform cannot move the window itself.
    bool m_dragging = false;
    QPoint m_dragStartMouse, m_dragStartWindow;
};
