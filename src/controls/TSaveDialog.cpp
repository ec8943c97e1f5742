#include "controls/TSaveDialog.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QVBoxLayout>

TSaveDialog::TSaveDialog(QObject* owner)
    : QObject(owner)
{
}

QStringList TSaveDialog::NameFilters(const QString& filter)
{
    const QStringList parts = filter.split('|');
    QStringList result;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        result << parts[i] + " (" + QString(parts[i + 1]).replace(';', ' ') + ")";
    return result;
}

namespace {
QStringList patternsOf(const QString& filter, int index)
{
    const QStringList parts = filter.split('|');
    if (index < 0 || 2 * index + 1 >= parts.size())
        return { "*" };
    return parts[2 * index + 1].split(';', Qt::SkipEmptyParts);
}
} // namespace

bool TSaveDialog::Execute(QWidget* parent)
{
    QDialog dialog(parent);
    dialog.setObjectName("SaveDialog");
    dialog.setWindowTitle("Save As");
    QDir folder(QDir::current());

    auto* folderLabel = new QLabel(&dialog);
    folderLabel->setObjectName("Folder");
    auto* up = new QPushButton("Up", &dialog);
    auto* model = new QFileSystemModel(&dialog);
    model->setFilter(QDir::AllDirs | QDir::Files | QDir::NoDot);
    model->setNameFilterDisables(false);
    auto* list = new QListView(&dialog);
    list->setModel(model);
    auto* name = new QLineEdit(QFileInfo(fileName_).fileName(), &dialog);
    name->setObjectName("FileName");
    auto* type = new QComboBox(&dialog);
    type->setObjectName("FileType");
    type->addItems(NameFilters(filter_));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, &dialog);

    auto* form = new QFormLayout;
    form->addRow("File name:", name);
    form->addRow("Save as type:", type);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(folderLabel);
    layout->addWidget(up);
    layout->addWidget(list);
    layout->addLayout(form);
    layout->addWidget(buttons);

    auto show = [&](const QDir& dir) {
        folder = dir;
        folderLabel->setText(folder.absolutePath());
        list->setRootIndex(model->setRootPath(folder.absolutePath()));
    };
    auto applyType = [&] { model->setNameFilters(patternsOf(filter_, type->currentIndex())); };
    applyType();
    show(folder);

    QObject::connect(type, &QComboBox::currentIndexChanged, &dialog, applyType);
    QObject::connect(up, &QPushButton::clicked, &dialog, [&] {
        QDir parentDir = folder;
        if (parentDir.cdUp())
            show(parentDir);
    });
    QObject::connect(list, &QListView::clicked, &dialog, [&](const QModelIndex& index) {
        if (!model->isDir(index))
            name->setText(model->fileName(index));
    });
    QObject::connect(list, &QListView::doubleClicked, &dialog, [&](const QModelIndex& index) {
        if (model->isDir(index))
            show(QDir(model->filePath(index)));
    });
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
        const QString text = name->text().trimmed();
        if (text.isEmpty())
            return;
        const QFileInfo chosen(folder, text);
        if (chosen.isDir()) {
            show(QDir(chosen.absoluteFilePath()));
            name->clear();
            return;
        }
        QString path = chosen.absoluteFilePath();
        if (chosen.suffix().isEmpty() && !defaultExt_.isEmpty())
            path += "." + defaultExt_;
        fileName_ = path;
        dialog.accept();
    });

    dialog_ = &dialog;
    const bool confirmed = dialog.exec() == QDialog::Accepted;
    dialog_ = nullptr;
    return confirmed;
}
