#pragma once

#include <QDialog>
#include <QStringList>

class QLabel;
class QPushButton;

namespace kivotrek {

class Prompts;

// The About box: title, version, a description and a legal warning, and a button that starts
// the system information tool. Modeless and without a parent window, so that closing the main
// window leaves it open.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(Prompts& prompts);

    QLabel* titleLabel;
    QLabel* versionLabel;
    QLabel* descriptionLabel;
    QLabel* disclaimerLabel;
    QLabel* iconLabel;
    QPushButton* okButton;
    QPushButton* systemInfoButton;

    // Programs tried, in order, where the platform has no registry entry for its tool.
    QStringList sysInfoPrograms = {QStringLiteral("hardinfo2"), QStringLiteral("hardinfo"),
        QStringLiteral("kinfocenter"), QStringLiteral("gnome-system-monitor"), QStringLiteral("lshw-gtk")};

    // A registry value: whether it was found, and its text.
    static bool registryValue(
        const QString& root, const QString& keyName, const QString& valueName, QString* value);

public slots:
    void startSystemInfo();

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QString findSysInfo() const;
    Prompts& prompts_;
};

} // namespace kivotrek
