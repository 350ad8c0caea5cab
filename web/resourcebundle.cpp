#include "resourcebundle.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QResource>
#include <QVector>
#include <QtEndian>

#include <cstring>
#include <limits>

namespace {

// The layout `rcc -binary` writes, all numbers big-endian. Header: "qres",
// version, offsets of the tree, the data and the names (and flags from
// version 3). Tree: fixed-size nodes, the root first; a directory names the
// range of its children, which rcc always places after it; a file names its
// data, a 32-bit length and the bytes. Names: 16-bit length, 32-bit hash,
// UTF-16 text.
constexpr quint16 kCompressed = 0x01;
constexpr quint16 kDirectory = 0x02;

QString tr(const char* text)
{
    return QCoreApplication::translate("ResourceBundle", text);
}

class IndexCheck {
public:
    IndexCheck(const uchar* data, qint64 size)
        : m_data(data)
        , m_size(size)
    {
    }

    QString run()
    {
        if (m_size == 0)
            return tr("The file is empty.");
        if (m_size < 20 || std::memcmp(m_data, "qres", 4) != 0)
            return tr("The file is not a resource bundle.");
        const quint32 version = read32(4);
        if (version < 1 || version > 3)
            return tr("Its format version %1 is unknown.").arg(version);
        const qint64 headerSize = version >= 3 ? 24 : 20;
        m_tree = read32(8);
        m_payload = read32(12);
        m_names = read32(16);
        m_nodeSize = version >= 2 ? 22 : 14;
        for (qint64 offset : {m_tree, m_payload, m_names})
            if (offset < headerSize || offset >= m_size)
                return tr("It is damaged: its index points outside the file.");
        if (m_size - m_tree < m_nodeSize || !(flags(0) & kDirectory))
            return tr("It is damaged: it has no root folder.");
        if (!walk())
            return tr("It is damaged: its index points outside the file.");
        if (!m_hasStartPage)
            return tr("It has no start page, index.html.");
        return QString();
    }

private:
    quint32 read32(qint64 offset) const { return qFromBigEndian<quint32>(m_data + offset); }
    quint16 read16(qint64 offset) const { return qFromBigEndian<quint16>(m_data + offset); }
    bool inside(qint64 offset, qint64 length) const
    {
        return offset >= 0 && length >= 0 && offset <= m_size && length <= m_size - offset;
    }
    qint64 node(qint64 index) const { return m_tree + index * m_nodeSize; }
    quint16 flags(qint64 index) const { return read16(node(index) + 4); }

    // Visits every node from the root once. Children must follow their
    // folder and belong to one folder only, so the walk ends.
    bool walk()
    {
        const qint64 nodes = (m_size - m_tree) / m_nodeSize;
        QVector<bool> reached(int(qMin<qint64>(nodes, std::numeric_limits<int>::max())));
        QVector<qint64> pending{0};
        reached[0] = true;
        while (!pending.isEmpty()) {
            const qint64 index = pending.takeLast();
            const qint64 at = node(index);
            if (!(flags(index) & kDirectory)) {
                if (!fileDataInside(at))
                    return false;
                continue;
            }
            const qint64 count = read32(at + 6);
            const qint64 first = read32(at + 10);
            if (count == 0)
                continue;
            if (first <= index || first >= reached.size() || count > reached.size() - first)
                return false;
            for (qint64 child = first; child < first + count; ++child) {
                if (reached[int(child)] || !nameValid(child))
                    return false;
                reached[int(child)] = true;
                pending.append(child);
                if (index == 0 && !(flags(child) & kDirectory)
                    && nameOf(child) == QLatin1String("index.html"))
                    m_hasStartPage = true;
            }
        }
        return true;
    }

    // rcc writes plain file names: not empty, no "/", not "." or "..".
    bool nameValid(qint64 index) const
    {
        const qint64 at = m_names + read32(node(index));
        if (!inside(at, 6) || !inside(at + 6, 2 * qint64(read16(at))))
            return false;
        const QString name = nameOf(index);
        return !name.isEmpty() && !name.contains(QLatin1Char('/')) && name != QLatin1String(".")
               && name != QLatin1String("..");
    }

    QString nameOf(qint64 index) const
    {
        const qint64 at = m_names + read32(node(index));
        QString name(read16(at), Qt::Uninitialized);
        for (int i = 0; i < name.size(); ++i)
            name[i] = QChar(read16(at + 6 + 2 * i));
        return name;
    }

    // A compressed body starts with its 32-bit uncompressed length.
    bool fileDataInside(qint64 at) const
    {
        const qint64 data = m_payload + read32(at + 10);
        if (!inside(data, 4))
            return false;
        const qint64 length = read32(data);
        return inside(data + 4, length) && (!(read16(at + 4) & kCompressed) || length >= 4);
    }

    const uchar* m_data;
    qint64 m_size;
    qint64 m_tree = 0;
    qint64 m_payload = 0;
    qint64 m_names = 0;
    qint64 m_nodeSize = 0;
    bool m_hasStartPage = false;
};

}  // namespace

ResourceBundle::ResourceBundle(const QString& filePath, const QString& mapRoot)
    : m_file(QFileInfo(filePath).absoluteFilePath())
    , m_mapRoot(mapRoot)
{
}

ResourceBundle::~ResourceBundle()
{
    if (m_data)
        QResource::unregisterResource(m_data, m_mapRoot);
}

QString ResourceBundle::checkData(const uchar* data, qint64 size)
{
    return IndexCheck(data, size).run();
}

bool ResourceBundle::load()
{
    const QFileInfo info(m_file.fileName());
    if (!info.exists()) {
        m_problem = tr("The file does not exist.");
        return false;
    }
    if (!info.isFile()) {
        m_problem = tr("It is not a regular file.");
        return false;
    }
    if (!m_file.open(QIODevice::ReadOnly)) {
        m_problem = tr("It cannot be read: %1.").arg(m_file.errorString());
        return false;
    }
    // Mapped as Qt itself would map it; read where the file system cannot map.
    qint64 size = m_file.size();
    const uchar* data = size > 0 ? m_file.map(0, size) : nullptr;
    if (!data) {
        m_copy = m_file.readAll();
        data = reinterpret_cast<const uchar*>(m_copy.constData());
        size = m_copy.size();
    }
    m_problem = checkData(data, size);
    if (m_problem.isEmpty() && !QResource::registerResource(data, m_mapRoot))
        m_problem = tr("It uses features this program cannot read.");
    if (!m_problem.isEmpty()) {
        m_file.close();
        m_copy.clear();
        return false;
    }
    m_data = data;
    return true;
}
