#include "app/AboutBox.h"

#include "app/ScrollingText.h"

#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {
const char* const CreditsText =
    "Quarn IFS grows a fractal while you watch.\n"
    "\n"
    "One point wanders through randomly chosen maps: two iterated function systems, two "
    "Latoocarfian sine maps and two chaotic three-dimensional maps, each of which may turn "
    "slowly, followed by any of seven non-linear variations. A coefficient set is kept only "
    "when its Lyapunov estimate says that the orbit is chaotic but bounded; every point it "
    "visits is counted into the picture and coloured by its group.\n"
    "\n"
    "Press Draw for a new coefficient set, Params to change the colours, maps and "
    "variations while the picture grows, XYSize for a larger picture, and Stop when you like "
    "what you see. Save As writes the picture as BMP, JPEG, PBM, PGM, PNG, PPM, Targa or "
    "TIFF.\n"
    "\n"
    "Built with Qt, libjpeg-turbo, libpng, zlib and libtiff; thanks to their authors.";
} // namespace

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(tr("About"));
    resize(467, 362);

    Credits = new QPlainTextEdit(tr(CreditsText), this);
    Credits->setReadOnly(true);
    OKButton = new QPushButton(tr("OK"), this);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &TAboutBox::OKButtonClick);
    Banner = new TScrollingText(QStringLiteral("Quarn IFS   v0.002"), this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Credits);
    layout->addWidget(OKButton, 0, Qt::AlignHCenter);
    layout->addWidget(Banner);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TAboutBox::OKButtonClick() {
    accept();
}
