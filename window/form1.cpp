#include "form1.h"

#include "handlers.h"
#include "picturefiles.h"
#include "versionrecord.h"

#include <QFontDatabase>
#include <QFontMetricsF>

namespace zorbel {
namespace {

const QString instructions = QStringLiteral(
    "Prendi il pallone con il tasto sinistro del mouse, portalo in alto e lascialo cadere");

constexpr QRect labelGeometry { 2, 0, 572, 16 };
constexpr QRect buttonGeometry { 556, 383, 35, 35 };
constexpr QPoint ballPosition { 399, 85 };
constexpr QSize iconSize { 32, 32 };
constexpr QRgb labelColour = qRgb(255, 192, 128);
constexpr QRgb buttonColour = qRgb(128, 128, 128);

constexpr int animatePeriodMs = 10;
constexpr int dragPeriodMs = 1;

// Verdana 9.75 pt bold where it is installed; elsewhere the nearest sans that
// is, shrunk until the line fits the label's width instead of being cut off.
QFont instructionFont(const QWidget &label)
{
    constexpr qreal designPointSize = 9.75;
    constexpr qreal smallestPointSize = 6;
    QFont font;
    for (const char *family : { "Verdana", "DejaVu Sans Condensed", "DejaVu Sans" }) {
        if (QFontDatabase::hasFamily(QString::fromLatin1(family))) {
            font.setFamily(QString::fromLatin1(family));
            break;
        }
    }
    font.setWeight(QFont::Bold);
    font.setPointSizeF(designPointSize);
    while (font.pointSizeF() > smallestPointSize
        && QFontMetricsF(font, &label).horizontalAdvance(instructions) > label.width())
        font.setPointSizeF(font.pointSizeF() - 0.25);
    return font;
}

void setColour(QWidget &widget, QPalette::ColorRole role, QRgb colour)
{
    QPalette palette = widget.palette();
    palette.setColor(role, QColor(colour));
    widget.setPalette(palette);
}

} // namespace

Form1::Form1(sound::Cues &cues, std::function<void()> endProgram)
    : m_endProgram(std::move(endProgram))
    , Label1(instructions, this)
    , picBounce(loadPicture(QStringLiteral(":/pictures/ball.bmp")), this)
    , Command1(this)
    , tmrDrag(*this, dragPeriodMs, [this] { m_ball.tmrDrag_Timer(); })
    , tmrAnimate(*this, animatePeriodMs, [this] { m_ball.tmrAnimate_Timer(); })
    , m_ball({ *this, m_ballElement, m_labelElement, tmrAnimate, tmrDrag, cues })
{
    setWindowIcon(loadIcon(QStringLiteral(":/pictures/ball.ico")));
    setWindowTitle(QString());
    setColour(*this, QPalette::Window, qRgb(0, 0, 0));
    setAutoFillBackground(true);
    resize(designClientSize);

    Label1.setGeometry(labelGeometry);
    setColour(Label1, QPalette::WindowText, labelColour);
    Label1.setFont(instructionFont(Label1));
    Label1.setFocusPolicy(Qt::NoFocus);

    const QCursor hand = loadCursor(QStringLiteral(":/pictures/hand.cur"));

    Command1.setGeometry(buttonGeometry);
    Command1.setIcon(loadIcon(QStringLiteral(":/pictures/close.ico"), QStringLiteral(":/pictures/close@2x.png")));
    Command1.setIconSize(iconSize);
    setColour(Command1, QPalette::Button, buttonColour);
    Command1.setCursor(hand);
    QObject::connect(&Command1, &QPushButton::clicked, this, [this] { runHandler([this] { Command1_Click(); }); });
    m_buttonElement.Move(float(buttonGeometry.left()), float(buttonGeometry.top()));

    picBounce.setDoubleSizeArt(QStringLiteral(":/pictures/ball@2x.png"));
    picBounce.setCursor(hand);
    picBounce.setFocusPolicy(Qt::StrongFocus);
    m_ballElement.Move(float(ballPosition.x()), float(ballPosition.y()));
    picBounce.MouseDown = [this](auto Button, auto Shift, float X, float Y) { m_ball.picBounce_MouseDown(Button, Shift, X, Y); };
    picBounce.MouseMove = [this](auto Button, auto Shift, float X, float Y) { m_ball.picBounce_MouseMove(Button, Shift, X, Y); };
    picBounce.MouseUp = [this](auto Button, auto Shift, float X, float Y) { m_ball.picBounce_MouseUp(Button, Shift, X, Y); };

    picBounce.raise();
    tmrAnimate.setEnabled(true);

    // A screen reader would otherwise call the window by its title, which
    // becomes the bounce count, and the ball and the icon-only button nothing.
    setAccessibleName(QString::fromLatin1(versionRecord::productName));
    picBounce.setAccessibleName(QStringLiteral("Pallone"));
    picBounce.setAccessibleDescription(
        QStringLiteral("Prendilo con il tasto sinistro, portalo in alto e lascialo cadere"));
    Command1.setAccessibleName(QStringLiteral("Chiudi"));
    Command1.setAccessibleDescription(QStringLiteral("Chiude il programma"));
}

void Form1::Form_Load()
{
    // Shown first, so the button is placed against the client size the
    // window really got.
    show();
    m_buttonElement.setVisible(false);
    m_buttonElement.setLeft(toSingle(double { ScaleWidth() } - closeButtonInset));
    m_buttonElement.setTop(toSingle(double { ScaleHeight() } - closeButtonInset));
    m_ball.GrabBall();
    m_ball.ReleaseBall();
    repaint();
    m_buttonElement.setVisible(true);
}

void Form1::Command1_Click()
{
    m_endProgram();
}

void Form1::setCaption(const std::string &caption)
{
    setWindowTitle(QString::fromStdString(caption));
}

} // namespace zorbel
