#include "gui/splash_dialog.h"

#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "app/main_window_state.h"
#include "gui/click_label.h"
#include "gui/colours.h"

namespace etc::gui {

SplashPicture::SplashPicture(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Image_openingsscherm"));
}

void SplashPicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = rect();
    QLinearGradient sky(r.topLeft(), r.bottomLeft());
    sky.setColorAt(0, QColor(30, 30, 36));
    sky.setColorAt(1, QColor(90, 90, 100));
    p.fillRect(r, sky);

    // A throttle body: the bore and its valve plate.
    const QPointF centre(r.width() * 0.76, r.height() * 0.5);
    const double radius = r.height() * 0.34;
    p.setPen(QPen(QColor(200, 200, 205), 10));
    p.setBrush(QColor(55, 55, 62));
    p.drawEllipse(centre, radius, radius);
    p.save();
    p.translate(centre);
    p.rotate(-35);
    p.setPen(Qt::NoPen);
    p.setBrush(windowsColour(kOrange));
    p.drawRoundedRect(QRectF(-radius * 0.95, -radius * 0.09, radius * 1.9, radius * 0.18), 4, 4);
    p.setBrush(QColor(220, 220, 225));
    p.drawEllipse(QPointF(0, 0), radius * 0.12, radius * 0.12);
    p.restore();

    // A rising response curve across the left part.
    QPainterPath curve;
    const double left = r.width() * 0.06, right = r.width() * 0.52;
    const double bottom = r.height() * 0.82, top = r.height() * 0.22;
    curve.moveTo(left, bottom);
    curve.cubicTo(left + (right - left) * 0.45, bottom, left + (right - left) * 0.55, top, right, top);
    p.setPen(QPen(windowsColour(kOrange), 5, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(curve);
    p.setPen(QPen(QColor(160, 160, 170), 1, Qt::DashLine));
    p.drawLine(QPointF(left, bottom), QPointF(right, bottom));
    p.drawLine(QPointF(left, bottom), QPointF(left, top));
}

SplashDialog::SplashDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TOKBottomDlg_openingsscherm"));
    setWindowTitle(QStringLiteral("OXT ETC"));
    setFixedSize(617, 367);
    setModal(true);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, windowsColour(kSilver));
    setPalette(palette);

    // The picture is 630 wide; the dialog shows what fits.
    auto* picture = new SplashPicture(this);
    picture->setGeometry(0, 0, 630, 299);

    auto* strip = new QFrame(this);
    strip->setObjectName(QStringLiteral("Panel_orange_strip"));
    strip->setGeometry(617 - 30, 0, 30, 367);
    strip->setStyleSheet(QStringLiteral("background-color: %1;").arg(cssColour(kOrange)));

    auto* name = new QLabel(QStringLiteral("OXT ETC"), this);
    name->setObjectName(QStringLiteral("Label_OXT_ETC"));
    QFont big = name->font();
    big.setPointSize(18);
    big.setBold(true);
    name->setFont(big);
    name->setGeometry(16, 306, 160, 32);

    auto* versionCaption = new QLabel(QStringLiteral("Version:"), this);
    versionCaption->setGeometry(190, 312, 60, 20);
    auto* version = new QLabel(QString::fromLatin1(app::text::kVersionLabel), this);
    version->setObjectName(QStringLiteral("Label_versie"));
    version->setGeometry(252, 312, 60, 20);

    // Drawn silver on silver: it shows only when clicked.
    auto* credit = new ClickLabel(QStringLiteral("Tervalon"), this);
    credit->setObjectName(QStringLiteral("Label_Tervalon_logo"));
    credit->setGeometry(190, 336, 160, 20);
    credit->setStyleSheet(QStringLiteral("color: %1;").arg(cssColour(kSilver)));
    connect(credit, &ClickLabel::clicked, credit,
            [credit] { credit->setStyleSheet(QStringLiteral("color: %1;").arg(cssColour(kBlack))); });

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKBtn"));
    ok->setDefault(true);
    ok->setGeometry(480, 318, 90, 30);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer_openingsscherm"));
    m_timer->setSingleShot(true);
    m_timer->setInterval(kSplashCloseMs);
    connect(m_timer, &QTimer::timeout, this, &QDialog::accept);
}

void SplashDialog::showEvent(QShowEvent* event) {
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
    m_timer->start();
}

}  // namespace etc::gui
