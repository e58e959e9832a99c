#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

namespace xls {

// An OLE2 compound file held in memory: the directory entries as they were read (so the
// tree, class ids and time stamps survive) and the content of every stream. Serialising
// always writes version 3 (512-byte sectors) with streams under the cut-off in the mini
// stream, as the format demands.
class TCompoundFile {
public:
    // Parses a whole file. Throws TError with a readable message when the bytes are not a
    // compound file or are damaged; every offset and chain is checked against the data.
    static TCompoundFile Parse(const QByteArray &file);
    // A container holding a single stream under the root.
    static TCompoundFile WithStream(const QString &name, const QByteArray &data);

    // Streams directly under the root, found by name regardless of letter case.
    bool HasStream(const QString &name) const;
    QByteArray Stream(const QString &name) const;
    void SetStream(const QString &name, const QByteArray &data);
    QStringList StreamNames() const;

    QByteArray Serialize() const;

private:
    struct TEntry {
        QByteArray raw;      // the 128 bytes of the directory entry
        QByteArray data;     // stream content
        bool used = false;   // reachable from the root
    };
    int FindTopLevel(const QString &name) const;
    static QString EntryName(const QByteArray &raw);

    QList<TEntry> m_entries;
};

} // namespace xls
