// Saving and loading a large project through the real code paths, against QJsonDocument alone
// serialising or parsing the same document in the same run.
//
// Full project: 40 Modbus devices x 10 slaves x 250 points, plus 10 DL/T 645 devices x 8
// meters x 44 rows (about 100,000 points). The argument divides it: 1 is the full project, 2
// half of it (about 50,000 points), 10 a tenth (about 10,000).
//
// The *Ratio benchmarks time both sides in the same iteration and report
// "ratio" = real path / QJsonDocument alone (target <= 1.5).
//
// `bench_projectfile --rss trim|plain [divisor]` measures resident memory after one load
// instead (see measureResident).

#include "core/project/Dlt645Catalogue.h"
#include "core/project/ItemRecord.h"
#include "core/project/ProjectFileIo.h"
#include "core/project/ProjectJson.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QStandardItemModel>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

constexpr int kModbusDevices = 40;
constexpr int kSlaves = 10;
constexpr int kPoints = 250;
constexpr int kDltDevices = 10;
constexpr int kMeters = 8;

QStandardItem *buildProject(QStandardItemModel &model, int divisor, const QString &dir)
{
    auto *project = new QStandardItem(QStringLiteral("Bench"));
    project->setData(dir, Role::ProjectPath);
    project->setData(QStringLiteral("benchmark project"), Role::ProjectDescription);
    model.appendRow(project);
    auto *standard = new QStandardItem(Folder::Standard);
    auto *service = new QStandardItem(Folder::Service);
    project->appendRow(standard);
    project->appendRow(service);
    project->appendRow(new QStandardItem(Folder::Box));
    project->appendRow(new QStandardItem(Folder::Data));

    for (int d = 0; d < kModbusDevices / divisor; ++d) {
        auto *device = new QStandardItem(QStringLiteral("PLC-%1").arg(d + 1));
        device->setData(QStringLiteral("Modbus"), Role::Protocol);
        device->setData(QStringLiteral("ModbusTCP"), Role::Modbus);
        device->setData(QStringLiteral("192.168.1.%1").arg(d + 10), Role::ModbusIp);
        device->setData(QStringLiteral("502"), Role::ModbusPort);
        device->setData(QStringLiteral("3000"), Role::ConnectionTimeout);
        device->setData(QStringLiteral("1000"), Role::CommunicationTimeout);
        device->setData(QStringLiteral("60"), Role::KeepAlive);
        device->setData(QStringLiteral("500"), Role::CollectionInterval);
        PointTable table;
        for (int s = 0; s < kSlaves; ++s) {
            QList<QVariantList> rows;
            rows.reserve(kPoints + 1);
            rows.append({QStringLiteral("1"), QString::number(s + 1), QStringLiteral("ABCD"), true, false});
            for (int p = 0; p < kPoints; ++p)
                rows.append({QString::number(40001 + 2 * p), QStringLiteral("Point %1.%2").arg(s).arg(p),
                             QStringLiteral("float"), QStringLiteral("2"), QStringLiteral("R")});
            table.insert(QStringLiteral("Modbus-%1").arg(s + 1), rows);
        }
        device->setData(QVariant::fromValue(table), Role::PointTable);
        standard->appendRow(device);
    }

    const QStringList names2007 = Dlt645Catalogue::translatedNames(Dlt645Catalogue::Edition::V2007);
    for (int d = 0; d < kDltDevices / divisor; ++d) {
        auto *device = new QStandardItem(QStringLiteral("Meters-%1").arg(d + 1));
        device->setData(QStringLiteral("DLT645"), Role::Protocol);
        device->setData(QStringLiteral("COM1"), Role::SerialPort);
        device->setData(QStringLiteral("2400"), Role::BaudRate);
        device->setData(false, Role::RtsEnable);
        PointTable table;
        for (int m = 0; m < kMeters; ++m) {
            QList<QVariantList> rows;
            rows.append({QStringLiteral("%1").arg(m + 1, 12, 10, QLatin1Char('0')), QStringLiteral("DLT645_2007")});
            for (int r = 0; r < names2007.size(); ++r)
                rows.append({r % 2 == 0, names2007.at(r), QStringLiteral("m%1r%2").arg(m).arg(r)});
            table.insert(QStringLiteral("DLT645-%1").arg(m + 1), rows);
        }
        device->setData(QVariant::fromValue(table), Role::PointTable);
        standard->appendRow(device);
    }

    auto *iec = new QStandardItem(QStringLiteral("IEC61850"));
    iec->setData(QStringLiteral("IEC61850"), Role::ServiceProtocol);
    iec->setData(QStringLiteral("102"), Role::ServicePort);
    service->appendRow(iec);
    return project;
}

struct Fixture
{
    QTemporaryDir dir;
    QStandardItemModel model;
    QStandardItem *project = nullptr;
    QJsonObject object;
    QByteArray bytes;
    QString path;

    explicit Fixture(int divisor)
    {
        project = buildProject(model, divisor, dir.path());
        object = ProjectJson::buildProjectJson(project);
        bytes = QJsonDocument(object).toJson();
        path = ProjectJson::projectFilePath(project);
        ProjectFileIo::writeFile(path, bytes);
    }
};

std::map<int, std::unique_ptr<Fixture>> g_fixtures; // by divisor; released before the application goes

Fixture &fixture(int divisor)
{
    std::unique_ptr<Fixture> &f = g_fixtures[divisor];
    if (!f)
        f = std::make_unique<Fixture>(divisor);
    return *f;
}

// What saveJsonFile does, less its message box.
bool realSave(Fixture &f)
{
    return ProjectFileIo::writeFile(f.path, ProjectJson::projectFileBytes(f.project)).ok();
}

// What deployment needs: the document as an object (then written as temp.json).
void buildObject(Fixture &f)
{
    benchmark::DoNotOptimize(ProjectJson::buildProjectJson(f.project));
}

// What loadJsonFile does, less the file dialog and message box, into `model`. In the tool
// the loaded project stays; freeing it is not part of loading.
// What the window runs: read, parse, check, load, hand the memory back.
bool realLoad(Fixture &f, QStandardItemModel *model)
{
    return ProjectJson::loadProjectFile(model, f.path).ok() && model->rowCount() == 1;
}

void addSizeCounters(benchmark::State &state, const Fixture &f)
{
    state.counters["bytes"] = double(f.bytes.size());
    state.SetBytesProcessed(int64_t(state.iterations()) * f.bytes.size());
}

void BM_SaveRealPath(benchmark::State &state)
{
    Fixture &f = fixture(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(realSave(f));
    addSizeCounters(state, f);
}

void BM_SaveQJsonDocumentOnly(benchmark::State &state)
{
    Fixture &f = fixture(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(QJsonDocument(f.object).toJson());
    addSizeCounters(state, f);
}

void BM_BuildProjectJson(benchmark::State &state)
{
    Fixture &f = fixture(int(state.range(0)));
    for (auto _ : state)
        buildObject(f);
    addSizeCounters(state, f);
}

void BM_LoadRealPath(benchmark::State &state)
{
    Fixture &f = fixture(int(state.range(0)));
    for (auto _ : state) {
        auto model = std::make_unique<QStandardItemModel>();
        benchmark::DoNotOptimize(realLoad(f, model.get()));
        state.PauseTiming();
        model.reset();
        state.ResumeTiming();
    }
    addSizeCounters(state, f);
}

// The model part of a load alone: the document is parsed outside the timed part.
void BM_LoadIntoModelOnly(benchmark::State &state)
{
    Fixture &f = fixture(int(state.range(0)));
    const QJsonObject root = QJsonDocument::fromJson(f.bytes).object();
    for (auto _ : state) {
        auto model = std::make_unique<QStandardItemModel>();
        ProjectJson::loadProjectIntoModel(model.get(), root, f.dir.path());
        state.PauseTiming();
        model.reset();
        state.ResumeTiming();
    }
    addSizeCounters(state, f);
}

void BM_LoadQJsonDocumentOnly(benchmark::State &state)
{
    Fixture &f = fixture(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(QJsonDocument::fromJson(f.bytes));
    addSizeCounters(state, f);
}

template<typename Real, typename Baseline>
void ratio(benchmark::State &state, Real real, Baseline baseline)
{
    qint64 realNs = 0;
    qint64 baselineNs = 0;
    QElapsedTimer timer;
    for (auto _ : state) {
        timer.start();
        {
            auto leftover = real();
            realNs += timer.nsecsElapsed();
            benchmark::DoNotOptimize(leftover);
        }
        timer.start();
        baseline();
        baselineNs += timer.nsecsElapsed();
    }
    state.counters["real_ms"] = double(realNs) / 1e6 / double(state.iterations());
    state.counters["qjson_ms"] = double(baselineNs) / 1e6 / double(state.iterations());
    state.counters["ratio"] = baselineNs > 0 ? double(realNs) / double(baselineNs) : 0.0;
}

void BM_SaveRatio(benchmark::State &state)
{
    Fixture &f = fixture(int(state.range(0)));
    ratio(state, [&f] { return realSave(f); },
          [&f] { benchmark::DoNotOptimize(QJsonDocument(f.object).toJson()); });
}

void BM_LoadRatio(benchmark::State &state)
{
    Fixture &f = fixture(int(state.range(0)));
    ratio(state,
          [&f] {
              auto model = std::make_unique<QStandardItemModel>();
              benchmark::DoNotOptimize(realLoad(f, model.get()));
              return model; // freed outside the timed part
          },
          [&f] { benchmark::DoNotOptimize(QJsonDocument::fromJson(f.bytes)); });
}

// Resident memory of this process in MiB, from /proc/self/statm (second field, pages).
double residentMiB()
{
    long pages = 0;
    long resident = 0;
    if (FILE *statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// --rss trim|plain [divisor]: resident memory after one load of the project file, through
// ProjectJson::loadProjectFile ("trim") or the same steps without handing memory back
// ("plain"). One load per process, so that neither sees the other's freed heap.
int measureResident(const char *mode, int divisor)
{
    QTemporaryDir dir;
    QString path;
    qint64 fileBytes = 0;
    {
        Fixture f(divisor);
        path = dir.filePath(QStringLiteral("load.json"));
        ProjectFileIo::writeFile(path, f.bytes);
        fileBytes = f.bytes.size();
    }
#ifdef __GLIBC__
    malloc_trim(0); // the fixture's heap is not the load's
#endif
    const double before = residentMiB();
    QStandardItemModel model;
    bool loaded = false;
    if (std::strcmp(mode, "trim") == 0) {
        loaded = ProjectJson::loadProjectFile(&model, path).ok();
    } else {
        QByteArray bytes;
        if (ProjectFileIo::readFile(path, &bytes).ok()) {
            const QJsonDocument document = QJsonDocument::fromJson(bytes);
            bytes.clear();
            ProjectJson::loadProjectIntoModel(&model, document.object(), dir.path());
            loaded = model.rowCount() == 1;
        }
    }
    const double after = residentMiB();
    // Given back once the model is gone and the heap trimmed: the model's own size after a
    // trimmed load; after a plain one, the model plus the freed heap glibc kept.
    model.clear();
#ifdef __GLIBC__
    malloc_trim(0);
#endif
    const double empty = residentMiB();
    std::printf("mode=%s loaded=%d file_mib=%.1f rss_before_mib=%.1f rss_after_load_mib=%.1f "
                "growth_mib=%.1f freed_by_clear_mib=%.1f\n",
                mode, int(loaded), double(fileBytes) / (1024.0 * 1024.0), before, after,
                after - before, after - empty);
    return loaded ? 0 : 1;
}

} // namespace

BENCHMARK(BM_SaveRealPath)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveQJsonDocumentOnly)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildProjectJson)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadRealPath)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadIntoModelOnly)->Arg(1)->Arg(2)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadQJsonDocumentOnly)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveRatio)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadRatio)->Arg(1)->Arg(2)->Arg(10)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    // Item icons are QtGui objects; the platform plugin is not needed beyond that.
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                   : qgetenv("QT_QPA_PLATFORM"));
    QGuiApplication app(argc, argv);
    registerItemRecordTypes();
    if (argc >= 3 && std::strcmp(argv[1], "--rss") == 0)
        return measureResident(argv[2], argc >= 4 ? std::atoi(argv[3]) : 1);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_fixtures.clear();
    return 0;
}
