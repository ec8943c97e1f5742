#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QDialog;
class QWidget;

// The save-file dialog: a default extension, an initial file name and a filter of
// "description|pattern" pairs, shown modally by Execute. Qt's own file dialog stores its state in
// the user's settings whenever it is destroyed; this one keeps nothing between uses and writes
// nothing, as the monitor never writes.
class TSaveDialog : public QObject {
    Q_OBJECT
public:
    explicit TSaveDialog(QObject* owner = nullptr);

    QString DefaultExt() const { return defaultExt_; }
    void SetDefaultExt(const QString& ext) { defaultExt_ = ext; }
    // The initial name before Execute; the full path chosen after a confirmed Execute.
    QString FileName() const { return fileName_; }
    void SetFileName(const QString& name) { fileName_ = name; }
    QString Filter() const { return filter_; }
    void SetFilter(const QString& filter) { filter_ = filter; }

    // The filter's pairs as Qt writes them: "CSV files (*.csv)".
    static QStringList NameFilters(const QString& filter);

    // True when the user confirmed a name; the default extension is added to a name without one.
    bool Execute(QWidget* parent);
    // The dialog while Execute runs, otherwise none.
    QDialog* Dialog() const { return dialog_; }

private:
    QString defaultExt_;
    QString fileName_;
    QString filter_;
    QDialog* dialog_ = nullptr;
};
