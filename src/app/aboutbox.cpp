#include "app/aboutbox.h"

#include "app/prompts.h"
#include "app/twips.h"
#include "common/messages.h"

#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <algorithm>

namespace kivotrek {

namespace {
constexpr int kMajor = 3;
constexpr int kMinor = 0;
constexpr int kRevision = 1;

Twips screenTwips()
{
    const QScreen* s = QGuiApplication::primaryScreen();
    return Twips(s ? s->logicalDotsPerInchX() : 96.0);
}
} // namespace

AboutBox::AboutBox(Prompts& prompts)
    : QDialog(nullptr,
        Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
            | Qt::CustomizeWindowHint),
      prompts_(prompts)
{
    setObjectName(QStringLiteral("AboutBox"));
    setModal(false);
    const Twips tw = screenTwips();
    setFixedSize(tw.size(5850, 4275));

    const QString title = msg::title();
    setWindowTitle(msg::aboutCaption(title));

    iconLabel = new QLabel(this);
    iconLabel->setObjectName(QStringLiteral("iconLabel"));
    iconLabel->setGeometry(tw.rect(240, 240, 540, 540));
    iconLabel->setPixmap(QApplication::windowIcon().pixmap(iconLabel->size()));

    auto makeLabel = [&](const char* name, const QString& text, const QRect& r) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QLatin1String(name));
        l->setGeometry(r);
        l->setWordWrap(true);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, Qt::black);
        l->setPalette(p);
        return l;
    };
    titleLabel = makeLabel("titleLabel", title, tw.rect(1050, 240, 3885, 480));
    QFont big = titleLabel->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    titleLabel->setFont(big);
    versionLabel =
        makeLabel("versionLabel", msg::versionText(kMajor, kMinor, kRevision), tw.rect(1080, 960, 3885, 225));
    descriptionLabel = makeLabel("descriptionLabel", msg::aboutDescription(), tw.rect(1080, 1560, 3885, 570));
    disclaimerLabel = makeLabel("disclaimerLabel", msg::aboutWarning(), tw.rect(360, 3120, 3870, 825));

    okButton = new QPushButton(msg::okButton(), this);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setGeometry(tw.rect(4260, 3000, 1310, 345));
    okButton->setDefault(true); // Enter; Esc closes the dialog as well
    connect(okButton, &QPushButton::clicked, this, &QDialog::close);

    systemInfoButton = new QPushButton(msg::systemInfoButton(), this);
    systemInfoButton->setObjectName(QStringLiteral("systemInfoButton"));
    systemInfoButton->setGeometry(tw.rect(4320, 3600, 1310, 345));
    systemInfoButton->setAutoDefault(false);
    connect(systemInfoButton, &QPushButton::clicked, this, &AboutBox::startSystemInfo);

    // The texts keep their lines: where the font needs more room than the design gives, the
    // labels widen, the buttons move right and the box grows, rather than a line breaking
    // inside a word or leaving a lone 「す。」 beside the OK button.
    int extra = 0;
    for (QLabel* l : {titleLabel, versionLabel, descriptionLabel, disclaimerLabel}) {
        const QFontMetrics fm(l->font());
        for (const QString& line : l->text().split(QLatin1Char('\n')))
            extra = std::max(extra, fm.horizontalAdvance(line) + 4 - l->width());
    }
    if (extra > 0) {
        setFixedSize(width() + extra, height());
        for (QLabel* l : {titleLabel, versionLabel, descriptionLabel, disclaimerLabel})
            l->resize(l->width() + extra, l->height());
        okButton->move(okButton->x() + extra, okButton->y());
        systemInfoButton->move(systemInfoButton->x() + extra, systemInfoButton->y());
    }
    for (QLabel* l : {titleLabel, versionLabel, descriptionLabel, disclaimerLabel})
        l->resize(l->width(), std::max(l->height(), l->heightForWidth(l->width())));

    setTabOrder(okButton, systemInfoButton);
    okButton->setFocus();
}

void AboutBox::paintEvent(QPaintEvent* e)
{
    QDialog::paintEvent(e);
    // The etched rule: a white line above a grey one.
    const Twips tw = screenTwips();
    QPainter p(this);
    p.setPen(QPen(Qt::white, 1));
    p.drawLine(tw.px(105), tw.px(2460), width() - tw.px(105), tw.px(2460));
    p.setPen(QPen(QColor(128, 128, 128), 1));
    p.drawLine(tw.px(105), tw.px(2520), width() - tw.px(105), tw.px(2520));
}

bool AboutBox::registryValue(
    const QString& root, const QString& keyName, const QString& valueName, QString* value)
{
    value->clear();
#ifdef Q_OS_WIN
    QSettings key(root + QLatin1Char('\\') + keyName, QSettings::NativeFormat);
    const QVariant v = key.value(valueName);
    if (!v.isValid())
        return false;
    *value = v.toString().section(QChar(0), 0, 0);
    return true;
#else
    // No registry here.
    Q_UNUSED(root);
    Q_UNUSED(keyName);
    Q_UNUSED(valueName);
    return false;
#endif
}

QString AboutBox::findSysInfo() const
{
    const QString hklm = QStringLiteral("HKEY_LOCAL_MACHINE");
    QString path;
    if (registryValue(
            hklm, QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"), QStringLiteral("PATH"), &path))
        return path;
    if (registryValue(hklm, QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location"),
            QStringLiteral("MSINFO"), &path)) {
        const QString exe = path + QStringLiteral("\\MSINFO32.EXE");
        if (QFileInfo::exists(exe))
            return exe;
    }
    for (const QString& program : sysInfoPrograms) {
        const QString found = QStandardPaths::findExecutable(program);
        if (!found.isEmpty())
            return found;
    }
    return {};
}

void AboutBox::startSystemInfo()
{
    const QString tool = findSysInfo();
    if (tool.isEmpty() || !QProcess::startDetached(tool, {}))
        prompts_.message(this, msg::sysInfoUnavailable(), msg::title());
}

} // namespace kivotrek
