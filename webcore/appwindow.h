#ifndef QUILLET_WEBCORE_APPWINDOW_H
#define QUILLET_WEBCORE_APPWINDOW_H

#include <QMainWindow>

#include <memory>

class ResourceBundle;
class QSettings;

// The program's main window whatever engine shows its page: makes the install
// folder current, registers the resource bundle, restores its saved geometry
// and keeps it on a screen. A missing or unusable bundle is never registered:
// bundleProblemPage() then says what is wrong and where it looked, as does
// standard error. Destroying the window unregisters the bundle and saves its
// size and position. The engine's window adds the view and calls the steps in
// its constructor.
class AppWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit AppWindow(QWidget* parent = nullptr);
    ~AppWindow() override;

    // False when the bundle could not be used and the window shows why.
    bool bundleLoaded() const { return m_bundleLoaded; }

    // Writes the window's size and position to the settings file now (the
    // destructor does it too).
    void saveWindowSettings();

    // The size a pop-up window opens at: the saved size of the main window,
    // never larger than the screens.
    static QSize popupSize();
    // Gives a window of the app, this one or a pop-up, the app's title and
    // icon.
    static void showIdentity(QWidget* window);

protected:
    // Registers the bundle, unless a web folder runs unpacked; false when it
    // cannot be used.
    bool loadBundle();
    void restoreGeometry();
    // A page that says why the bundle cannot be used, written to standard
    // error as well.
    QString bundleProblemPage() const;

private:
    static QSize savedSize(const QSettings& settings);
    void makeInstallFolderCurrent();
    void keepOnScreen();

    QSettings* m_settings = nullptr;
    std::unique_ptr<ResourceBundle> m_bundle;
    bool m_bundleLoaded = false;
};

#endif
