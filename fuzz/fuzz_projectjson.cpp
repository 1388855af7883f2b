// Project files of arbitrary content: loading never fails part-way, and saving what was
// loaded gives the bytes QJsonDocument gives for the built object, also after a second load
// of the same document (the merge path) and after reloading the saved bytes, and saving
// settles after one round.

#include "FuzzCheck.h"
#include "core/project/ProjectJson.h"

#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QStandardItemModel>

#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // QStandardItem and QIcon need a GUI application; no display is needed for either.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    // The harness carries no resources, so every icon lookup would warn.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.svg.warning=false"));
    return 0;
}

namespace {

QByteArray checkedBytes(const QStandardItem *project)
{
    const QByteArray bytes = ProjectJson::projectFileBytes(project);
    FUZZ_CHECK(bytes == QJsonDocument(ProjectJson::buildProjectJson(project)).toJson());
    return bytes;
}

QByteArray reloadAndSave(const QByteArray &bytes)
{
    QStandardItemModel model;
    const ProjectJson::LoadOutcome outcome = ProjectJson::loadProjectIntoModel(
        &model, QJsonDocument::fromJson(bytes).object(), QStringLiteral("/fuzz"));
    return checkedBytes(outcome.project);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size)));
    if (!document.isObject())
        return 0;
    QStandardItemModel model;
    const ProjectJson::LoadOutcome first =
        ProjectJson::loadProjectIntoModel(&model, document.object(), QStringLiteral("/fuzz"));
    FUZZ_CHECK(first.project && first.createdProject);
    const QByteArray saved = checkedBytes(first.project);

    const ProjectJson::LoadOutcome merged =
        ProjectJson::loadProjectIntoModel(&model, document.object(), QStringLiteral("/other"));
    FUZZ_CHECK(merged.project == first.project && !merged.createdProject);
    checkedBytes(merged.project);

    // One save may normalise (a 1997 meter's row naming a 2007-only item is written without
    // a code and dropped by the next load); from the second save on the file is a fixed point.
    const QByteArray second = reloadAndSave(saved);
    const QByteArray third = reloadAndSave(second);
    if (third != second)
        std::fprintf(stderr, "second save:\n%s\nthird save:\n%s\n", second.constData(),
                     third.constData());
    FUZZ_CHECK(third == second);
    return 0;
}
