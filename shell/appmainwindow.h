#ifndef QUILLET_SHELL_APPMAINWINDOW_H
#define QUILLET_SHELL_APPMAINWINDOW_H

#include <QMainWindow>
#include <QUrl>

#include <memory>

class AppMainWindowForm;
class ResourceBundle;
class QSettings;
class SiteSpecificWebView;

// The program's one main window: makes the install folder current, registers
// the resource bundle, sets the process-wide WebKit and proxy settings,
// restores its saved geometry and shows the bundle's start page. A missing or
// unusable bundle is never registered: the window then says what is wrong and
// where it looked, as does standard error. Destroying the window unregisters
// the bundle and saves its size and position.
class AppMainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit AppMainWindow(QWidget* parent = nullptr);
    ~AppMainWindow() override;

    SiteSpecificWebView* webView() const;
    // False when the bundle could not be used and the window shows why.
    bool bundleLoaded() const { return m_bundleLoaded; }

    // Writes the window's size and position to the settings file now (the
    // destructor does it too).
    void saveWindowSettings();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void makeInstallFolderCurrent();
    void configure();
    void restoreGeometry();
    void keepOnScreen();
    void showBundleProblem();

    AppMainWindowForm* m_form;
    QSettings* m_settings = nullptr;
    QUrl m_startUrl;
    std::unique_ptr<ResourceBundle> m_bundle;
    bool m_bundleLoaded = false;
};

#endif
