#pragma once

#include <QCommandLineParser>
#include <QMap>
#include <QString>
#include <QStringList>

// Where a depository's tiles come from, kept beside its index so that a resumed download fetches
// the rest from the same place instead of falling back to the default source.
namespace VtCli {

// The download options that make up a source (the option names of vtcore download).
extern const QStringList kSourceOptionNames;
// Of those, the ones that choose the tiles themselves; changing one of them on resume needs
// --source-change. The rest (headers) may change freely, e.g. for a renewed token.
extern const QStringList kSourceIdentityNames;

struct SourceRecord {
    QMap<QString, QStringList> options;  // option name -> values as given on the command line
    QStringList withheldHeaders;         // names of credential headers that were not stored
};

// "<folder>/<name>.source.json" beside "<folder>/<name>.idx".
QString SourceRecordPath(const QString& idxPath);
// False when there is no record or it cannot be read (`error` says which; empty when absent).
bool LoadSourceRecord(const QString& idxPath, SourceRecord& record, QString& error);
// Replaces the record in one step (written beside, then renamed).
bool SaveSourceRecord(const QString& idxPath, const SourceRecord& record, QString& error);

// Whether a request header carries a credential (Authorization, Cookie, keys, tokens, passwords);
// such headers are never written to disk. `name` is case-insensitive.
bool IsSecretHeader(const QString& name);

// The source options of one run: those given on the command line, else those recorded with the
// depository. Reads like the command-line parser it stands in for. Headers merge by name, the
// ones given now replacing recorded ones.
class SourceOptions {
public:
    SourceOptions(const QCommandLineParser& parser, const SourceRecord& recorded);
    QString value(const QString& name) const;
    QStringList values(const QString& name) const;
    bool isSet(const QString& name) const;
    // The record of these options, credential headers left out.
    SourceRecord ToRecord() const;

private:
    const QCommandLineParser& m_parser;
    SourceRecord m_recorded;
};

}  // namespace VtCli
