#ifndef QUILLET_WEB_RESOURCEBUNDLE_H
#define QUILLET_WEB_RESOURCEBUNDLE_H

#include <QFile>
#include <QString>

// The packaged web application: a resource file made by `rcc -binary`,
// registered at mapRoot (the resource root by default) while this object
// lives. Qt reads the
// file's index without bounds checks, so a damaged file would crash the
// program at its first read: the whole index is checked first, and a file
// that fails is never registered.
class ResourceBundle {
public:
    explicit ResourceBundle(const QString& filePath, const QString& mapRoot = QString());
    ~ResourceBundle();  // unregisters
    ResourceBundle(const ResourceBundle&) = delete;
    ResourceBundle& operator=(const ResourceBundle&) = delete;

    // Checks the file and registers it. False when it is missing or unusable;
    // problem() then says why.
    bool load();
    QString problem() const { return m_problem; }
    QString filePath() const { return m_file.fileName(); }  // absolute

    // Why rcc data of `size` bytes cannot be registered safely, or an empty
    // string when every offset of its index stays inside the data and it has
    // a start page, index.html, at its root.
    static QString checkData(const uchar* data, qint64 size);

private:
    QFile m_file;
    const uchar* m_data = nullptr;  // mapped file, or m_copy's bytes
    QByteArray m_copy;              // where the file cannot be mapped
    QString m_mapRoot;
    QString m_problem;
};

#endif
