#include "form1.h"

#include "design.h"
#include "fatalerror.h"
#include "picturefiles.h"
#include "versionrecord.h"

#include <QFontDatabase>
#include <QFontMetricsF>

namespace zorbel {
namespace {

QRect toQRect(design::Rect rect)
{
    return { rect.left, rect.top, rect.width, rect.height };
}

QColor toQColor(design::Colour colour)
{
    return { colour.red, colour.green, colour.blue };
}

QFont instructionFont(const QWidget &label, const QString &text)
{
    QFont font;
    for (const char *family : { design::labelFontFamily, "DejaVu Sans Condensed", "DejaVu Sans" }) {
        if (QFontDatabase::hasFamily(QString::fromLatin1(family))) {
            font.setFamily(QString::fromLatin1(family));
            break;
        }
    }
    font.setWeight(QFont::Weight(design::labelFontWeight));
    font.setPointSizeF(design::fittingPointSize([&](double pointSize) {
        font.setPointSizeF(pointSize);
        return QFontMetricsF(font, &label).horizontalAdvance(text);
    }));
    return font;
}

void setColour(QWidget &widget, QPalette::ColorRole role, design::Colour colour)
{
    QPalette palette = widget.palette();
    palette.setColor(role, toQColor(colour));
    widget.setPalette(palette);
}

} // namespace

Form1::Form1(sound::Cues &cues, std::function<void()> endProgram)
    : Label1(QString::fromUtf8(design::instructions), this)
    , picBounce(loadPicture(QStringLiteral(":/pictures/ball.bmp")), this)
    , Command1(this)
    , tmrDrag(*this, design::tmrDragPeriodMs, [this] { m_form.tmrDrag_Timer(); })
    , tmrAnimate(*this, design::tmrAnimatePeriodMs, [this] { m_form.tmrAnimate_Timer(); })
    , m_form({ *this, m_ballElement, m_labelElement, m_buttonElement, tmrAnimate, tmrDrag, cues, std::move(endProgram) })
{
    setWindowIcon(loadIcon(QStringLiteral(":/pictures/ball.ico")));
    setWindowTitle(QString());
    setColour(*this, QPalette::Window, design::background);
    setAutoFillBackground(true);
    resize(design::clientSize.width, design::clientSize.height);

    Label1.setGeometry(toQRect(design::Label1));
    setColour(Label1, QPalette::WindowText, design::labelColour);
    Label1.setFont(instructionFont(Label1, Label1.text()));
    Label1.setFocusPolicy(Qt::NoFocus);

    const QCursor hand = loadCursor(QStringLiteral(":/pictures/hand.cur"));

    Command1.setGeometry(toQRect(design::Command1));
    Command1.setIcon(loadIcon(QStringLiteral(":/pictures/close.ico"), QStringLiteral(":/pictures/close@2x.png")));
    Command1.setIconSize({ design::iconSize.width, design::iconSize.height });
    setColour(Command1, QPalette::Button, design::buttonColour);
    Command1.setCursor(hand);
    QObject::connect(&Command1, &QPushButton::clicked, this, [this] { runHandler([this] { m_form.Command1_Click(); }); });
    m_buttonElement.Move(float(design::Command1.left), float(design::Command1.top));

    picBounce.setDoubleSizeArt(QStringLiteral(":/pictures/ball@2x.png"));
    picBounce.setCursor(hand);
    picBounce.setFocusPolicy(Qt::StrongFocus);
    m_ballElement.Move(float(design::picBounce.left), float(design::picBounce.top));
    picBounce.MouseDown = [this](auto Button, auto Shift, float X, float Y) { m_form.picBounce_MouseDown(Button, Shift, X, Y); };
    picBounce.MouseMove = [this](auto Button, auto Shift, float X, float Y) { m_form.picBounce_MouseMove(Button, Shift, X, Y); };
    picBounce.MouseUp = [this](auto Button, auto Shift, float X, float Y) { m_form.picBounce_MouseUp(Button, Shift, X, Y); };

    picBounce.raise();
    tmrAnimate.setEnabled(true);

    setAccessibleName(QString::fromLatin1(versionRecord::productName));
    picBounce.setAccessibleName(QString::fromUtf8(design::ballName));
    picBounce.setAccessibleDescription(QString::fromUtf8(design::ballDescription));
    Command1.setAccessibleName(QString::fromUtf8(design::closeName));
    Command1.setAccessibleDescription(QString::fromUtf8(design::closeDescription));
}

void Form1::Show()
{
    show();
}

void Form1::setCaption(const std::string &caption)
{
    setWindowTitle(QString::fromStdString(caption));
}

} // namespace zorbel
