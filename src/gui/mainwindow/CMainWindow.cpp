#include "gui/mainwindow/CMainWindow.h"
#include "ui_MainWindow.h"

#include "core/support/AppPaths.h"
#include "gui/widgets/LogoWindow.h"
#include "gui/mainwindow/ItemEditors.h"
#include "gui/mainwindow/ProjectCommands.h"
#include "gui/mainwindow/ProjectFiles.h"
#include "gui/mainwindow/ProjectTree.h"
#include "gui/mainwindow/UnsavedProjects.h"
#include "gui/monitoring/MonitoringPanel.h"
#include "core/project/ItemRecord.h"

#include <qtadvanceddocking/DockAreaWidget.h>
#include <qtadvanceddocking/DockContainerWidget.h>
#include <qtadvanceddocking/DockManager.h>
#include <qtadvanceddocking/DockWidget.h>

#include <QAction>
#include <QCloseEvent>
#include <QDebug>
#include <QDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLibraryInfo>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollArea>
#include <QSettings>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QTranslator>
#include <QTreeView>

namespace {
QString &catalogPath()
{
    static QString path = QStringLiteral(":/adsdemo/chinese.qm");
    return path;
}

QString &qtCatalogDir()
{
    static QString dir = QLibraryInfo::location(QLibraryInfo::TranslationsPath);
    return dir;
}

// Share of the window width that the project tree gets in the first layout, and of the
// monitoring column's height that the monitoring area gets above the Message dock.
constexpr int kTreeWidthDivisor = 5;
constexpr int kMonitoringHeightPercent = 75;
// A new edit dock is re-measured this often while it still grows.
constexpr int kEditDockFitPasses = 3;

// The splitter holding a dock's area, or null while the dock is not placed.
QSplitter *splitterOf(ads::CDockWidget *dock)
{
    ads::CDockAreaWidget *area = dock ? dock->dockAreaWidget() : nullptr;
    return area ? qobject_cast<QSplitter *>(area->parentWidget()) : nullptr;
}
} // namespace

void CMainWindow::setCatalogPathForTesting(const QString &path)
{
    catalogPath() = path;
}

void CMainWindow::setQtCatalogDirForTesting(const QString &dir)
{
    qtCatalogDir() = dir;
}

CMainWindow::CMainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    registerItemRecordTypes();
    qRegisterMetaType<Protocol::dataMonitoringData>("Protocol::dataMonitoringData");

    ui->setupUi(this);
    setWindowTitle(QCoreApplication::applicationName());

    ui->toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    ui->toolBar->addAction(ui->actionNew_Project);
    ui->toolBar->addAction(ui->actionLoad_Project);
    ui->toolBar->addAction(ui->actionSave_All_Project);
    ui->toolBar->addAction(ui->actionSaveState);
    ui->toolBar->addAction(ui->actionRestoreState);
    ui->menuWindow->addAction(ui->actionNew_Project);
    ui->menuWindow->addAction(ui->actionLoad_Project);
    ui->menuWindow->addAction(ui->actionSave_All_Project);
    QAction *templatesAction = ui->menuWindow->addAction(tr("Templates..."));
    templatesAction->setObjectName(QStringLiteral("actionTemplates"));
    connect(templatesAction, &QAction::triggered, this, &CMainWindow::templatesFile);
    ui->menuAbout->addAction(ui->actionAbout);

    ui->actionNew_Project->setIcon(dockIcon(QStringLiteral(":/adsdemo/images/New Project.svg")));
    ui->actionLoad_Project->setIcon(dockIcon(QStringLiteral(":/adsdemo/images/Load Project.svg")));
    ui->actionSave_All_Project->setIcon(dockIcon(QStringLiteral(":/adsdemo/images/save.svg")));
    ui->actionSaveState->setIcon(dockIcon(QStringLiteral(":/adsdemo/images/saveini.svg")));
    ui->actionRestoreState->setIcon(dockIcon(QStringLiteral(":/adsdemo/images/restore.svg")));
    ui->actionAbout->setIcon(dockIcon(QStringLiteral(":/adsdemo/images/logo-1.png")));

    connect(ui->actionNew_Project, &QAction::triggered, this, &CMainWindow::slotNewProject);
    connect(ui->actionLoad_Project, &QAction::triggered, this, &CMainWindow::loadJsonFile);
    connect(ui->actionSave_All_Project, &QAction::triggered, this, &CMainWindow::saveProjectAllFile);
    connect(ui->actionAbout, &QAction::triggered, this, &CMainWindow::aboutActionTriggered);

    CESwitching();

    m_logoWindow = new LogoWindow(this);

    ads::CDockManager::setConfigFlag(ads::CDockManager::FocusHighlighting, true);
    // Auto-hide (configuration 0x103) exists only in newer docking libraries; this one has none.
    m_dockManager = new ads::CDockManager(this);

    createFixedDocks();
    m_editDocks = new EditDocks(m_dockManager, ui->menuView,
                                dockIcon(QStringLiteral(":/adsdemo/images/edit-1.svg")), this);
    connect(m_editDocks, &EditDocks::placed, this,
            [this](ads::CDockWidget *dock) { fitEditDockWidth(dock, kEditDockFitPasses); });
    connect(m_editDocks, &EditDocks::contentGrew, this,
            [this](ads::CDockWidget *dock) { fitEditDockWidth(dock, kEditDockFitPasses); });
    m_monitoring = new MonitoringPanel(m_monitoringTabs, m_dataDock->toolBar(), m_projectModel, this);
    connect(m_monitoring, &MonitoringPanel::messageAppended, this, &CMainWindow::appendMessage);
    m_editors = new ItemEditors(this, m_editDocks, m_projectModel);
    m_unsaved = new UnsavedProjects(this, m_projectModel);
    m_files = new ProjectFiles(this, m_projectModel, m_tree, m_unsaved);
    m_commands = new ProjectCommands(this, m_projectModel, m_tree, m_editDocks, m_editors, m_files);

    resize(1280, 720);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(),
                                        screen->availableGeometry()));

    // Dragging a splitter ends the first layout: from then on the user's sizes stay.
    for (QSplitter *splitter : {splitterOf(m_projectDock), splitterOf(m_dataDock)}) {
        if (splitter)
            connect(splitter, &QSplitter::splitterMoved, this, [this] { m_firstLayoutPending = false; });
    }
    m_firstLayoutPending = true;
    restoreState();
}

CMainWindow::~CMainWindow()
{
    // The docks and their editors die after this body, in ~QWidget: an editor that reports on
    // its way out (the box editor drops its link) must not reach a half-destroyed window.
    for (QDialog *editor : findChildren<QDialog *>())
        editor->disconnect(this);
    m_editors->endSessionsQuietly();
    stopRecording();
    delete ui;
}

QIcon CMainWindow::dockIcon(const QString &path) const
{
    QIcon icon(path);
    icon.addPixmap(icon.pixmap(92), QIcon::Normal, QIcon::Off);
    return icon;
}

void CMainWindow::CESwitching()
{
    m_translator = new QTranslator(this);
    const bool loaded = m_translator->load(catalogPath(), QString(), QString(), QString());
    m_chineseActive = true;
    if (loaded) {
        QCoreApplication::installTranslator(m_translator);
        loadQtCatalogue();
    } else {
        QCoreApplication::removeTranslator(m_translator);
        qWarning().noquote() << QStringLiteral("Failed to load translation file: ") + catalogPath();
    }
    ui->retranslateUi(this);
    // "[*]" shows as "*" while a project holds what its file does not (setWindowModified).
    setWindowTitle(QStringLiteral("Nerio-IEC61850-Modbus[*]"));
}

void CMainWindow::loadQtCatalogue()
{
    // Parented to the window, so it leaves the application together with the window.
    m_qtTranslator = new QTranslator(this);
    if (m_qtTranslator->load(QStringLiteral("qtbase_zh_CN"), qtCatalogDir())) {
        QCoreApplication::installTranslator(m_qtTranslator);
        return;
    }
    // Not an error: Qt's own buttons and dialogs then simply stay English.
    qDebug().noquote() << QStringLiteral("Qt catalogue qtbase_zh_CN.qm not found in ") + qtCatalogDir();
    delete m_qtTranslator;
    m_qtTranslator = nullptr;
}

void CMainWindow::createFixedDocks()
{
    // Data monitoring: created as "Table 0" so the saved layout names it by that object name.
    m_monitoringTabs = new QTabWidget;
    m_monitoringTabs->setTabsClosable(true);
    m_monitoringTabs->setMovable(true);
    m_dataDock = new ads::CDockWidget(QStringLiteral("Table %1").arg(0));
    m_dataDock->setWidget(m_monitoringTabs);
    m_dataDock->createDefaultToolBar();
    m_dataDock->setMinimumSizeHintMode(ads::CDockWidget::MinimumSizeHintFromContent);
    m_dataDock->setToolBarStyle(Qt::ToolButtonIconOnly, ads::CDockWidget::StateFloating);
    m_dataDock->setFeature(ads::CDockWidget::CustomCloseHandling, true);
    m_dataDock->setFeature(ads::CDockWidget::DockWidgetFloatable, false);
    m_dataDock->setFeature(ads::CDockWidget::DockWidgetMovable, false);
    m_dataDock->setFeature(ads::CDockWidget::DockWidgetClosable, false);
    m_dataDock->setIcon(dockIcon(QStringLiteral(":/adsdemo/images/data monitoring.svg")));
    ads::CDockAreaWidget *dataArea = m_dockManager->addDockWidget(ads::CenterDockWidgetArea, m_dataDock);
    ui->menuView->addAction(m_dataDock->toggleViewAction());
    m_dataDock->setWindowTitle(QObject::tr("Data monitoring"));

    m_projectModel = new QStandardItemModel(this);
    m_projectView = new QTreeView;
    m_tree = new ProjectTree(this, m_projectModel, m_projectView, m_monitoringTabs);
    m_projectDock = new ads::CDockWidget(QObject::tr("Project"));
    m_projectDock->setWidget(m_projectView);
    m_projectDock->setToolBarStyle(Qt::ToolButtonIconOnly, ads::CDockWidget::StateFloating);
    m_projectDock->setFeature(ads::CDockWidget::CustomCloseHandling, true);
    m_projectDock->setFeature(ads::CDockWidget::DockWidgetFocusable, false);
    m_projectDock->setFeature(ads::CDockWidget::DockWidgetMovable, false);
    m_projectDock->setFeature(ads::CDockWidget::DockWidgetFloatable, false);
    m_projectDock->setFeature(ads::CDockWidget::DockWidgetClosable, false);
    m_projectDock->setIcon(dockIcon(QStringLiteral(":/adsdemo/images/project_manage.svg")));
    m_dockManager->addDockWidget(ads::LeftDockWidgetArea, m_projectDock, dataArea);
    ui->menuView->addAction(m_projectDock->toggleViewAction());

    m_messageEditor = new QPlainTextEdit;
    m_messageEditor->setPlaceholderText(QStringLiteral("Message:"));
    m_messageEditor->setStyleSheet(QStringLiteral("border: none"));
    m_messageDock = new ads::CDockWidget(QStringLiteral("Editor"));
    m_messageDock->setWidget(m_messageEditor);
    m_messageDock->setToolBarStyle(Qt::ToolButtonIconOnly, ads::CDockWidget::StateFloating);
    m_messageDock->setFeature(ads::CDockWidget::DockWidgetFocusable, false);
    m_messageDock->setFeature(ads::CDockWidget::DockWidgetFloatable, false);
    m_messageDock->setIcon(dockIcon(QStringLiteral(":/adsdemo/images/message.svg")));
    auto *optionsMenu = new QMenu(QObject::tr("Options"), m_messageDock);
    optionsMenu->setToolTip(optionsMenu->title());
    optionsMenu->setIcon(QIcon(QStringLiteral(":/adsdemo/images/custom-menu-button.svg")));
    QAction *menuAction = optionsMenu->menuAction();
    menuAction->setObjectName(QStringLiteral("optionsMenu"));
    m_messageDock->setTitleBarActions({menuAction});
    QAction *clearAction = optionsMenu->addAction(QObject::tr("Clear Editor"));
    connect(clearAction, &QAction::triggered, m_messageEditor, &QPlainTextEdit::clear);
    m_dockManager->addDockWidget(ads::BottomDockWidgetArea, m_messageDock, dataArea);
    ui->menuView->addAction(m_messageDock->toggleViewAction());
    m_messageDock->setWindowTitle(QObject::tr("Message"));
}

void CMainWindow::saveState()
{
    QSettings settings(settingsFilePath(), QSettings::IniFormat);
    settings.setValue(QStringLiteral("mainWindow/Geometry"), saveGeometry());
    settings.setValue(QStringLiteral("mainWindow/State"), QMainWindow::saveState(0));
    settings.setValue(QStringLiteral("mainWindow/DockingState"), m_dockManager->saveState(0));
    settings.sync();
}

void CMainWindow::restoreState()
{
    QSettings settings(settingsFilePath(), QSettings::IniFormat);
    // A missing key reads as empty and changes nothing; skipping it also spares the docking
    // library's "corrupted data" warning about an empty state.
    const QByteArray geometry = settings.value(QStringLiteral("mainWindow/Geometry")).toByteArray();
    const QByteArray state = settings.value(QStringLiteral("mainWindow/State")).toByteArray();
    const QByteArray docking = settings.value(QStringLiteral("mainWindow/DockingState")).toByteArray();
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
    if (!state.isEmpty())
        QMainWindow::restoreState(state, 0);
    if (!docking.isEmpty()) {
        m_dockManager->restoreState(docking, 0);
        m_firstLayoutPending = false;
    }
}

void CMainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    // Deferred: the docks take their new sizes only once the layouts have run.
    if (m_firstLayoutPending)
        QTimer::singleShot(0, this, &CMainWindow::applyFirstLayout);
}

void CMainWindow::applyFirstLayout()
{
    QSplitter *root = splitterOf(m_projectDock);
    QSplitter *column = splitterOf(m_dataDock);
    if (!m_firstLayoutPending || !root || !column || column->parentWidget() != root)
        return;
    QList<int> widths = root->sizes();
    const int projectIndex = root->indexOf(m_projectDock->dockAreaWidget());
    const int columnIndex = root->indexOf(column);
    int total = 0;
    for (int width : qAsConst(widths))
        total += width;
    // Edit docks already open keep their width; the monitoring column takes the rest. The
    // fifth is of the whole window: an edit dock may sit outside this splitter.
    const int others = total - widths[projectIndex] - widths[columnIndex];
    widths[projectIndex] = qMin(total - others, m_dockManager->width() / kTreeWidthDivisor);
    widths[columnIndex] = qMax(0, total - others - widths[projectIndex]);
    root->setSizes(widths);

    const int dataIndex = column->indexOf(m_dataDock->dockAreaWidget());
    const int messageIndex = m_messageDock->dockAreaWidget()
        ? column->indexOf(m_messageDock->dockAreaWidget()) : -1;
    if (column->count() != 2 || messageIndex < 0)
        return;
    QList<int> heights = column->sizes();
    const int height = heights[0] + heights[1];
    heights[dataIndex] = height * kMonitoringHeightPercent / 100;
    heights[messageIndex] = height - heights[dataIndex];
    column->setSizes(heights);
}

void CMainWindow::fitEditDockWidth(ads::CDockWidget *dock, int passes)
{
    // Each pass runs after the event loop has laid the dock out (and an editor has filled
    // its tables, which some do on a zero timer).
    QTimer::singleShot(0, dock, [this, dock, passes] {
        if (fitEditDockWidthNow(dock) && passes > 1)
            fitEditDockWidth(dock, passes - 1);
    });
}

bool CMainWindow::fitEditDockWidthNow(ads::CDockWidget *dock)
{
    QWidget *content = dock->widget();
    ads::CDockAreaWidget *area = dock->dockAreaWidget();
    QSplitter *root = splitterOf(dock);
    if (!content || !root || root->orientation() != Qt::Horizontal || dock->isClosed())
        return false;
    // The docking library wraps a plain widget in a scroll area: what shows is its viewport.
    int visible = content->width();
    for (QWidget *w = content->parentWidget(); w && w != dock; w = w->parentWidget()) {
        if (auto *scroll = qobject_cast<QScrollArea *>(w)) {
            visible = scroll->viewport()->width();
            break;
        }
    }
    // Buttons and forms need their size hint; a table needs every column plus what surrounds it.
    int needed = content->sizeHint().width();
    // An editor's own scroll area needs what its form asks for, besides the vertical scroll bar
    // it may show, which its size hint leaves out.
    for (QScrollArea *inner : content->findChildren<QScrollArea *>()) {
        if (inner->widget() && inner->isVisibleTo(content))
            needed = qMax(needed, visible + inner->widget()->sizeHint().width() - inner->viewport()->width());
    }
    for (QTableView *table : content->findChildren<QTableView *>()) {
        if (!table->isVisibleTo(content))
            continue;
        const int left = table->mapTo(content, QPoint(0, 0)).x();
        const int right = content->width() - left - table->width();
        const int chrome = table->width() - table->viewport()->width();
        needed = qMax(needed, left + chrome + table->horizontalHeader()->length() + right);
    }
    QList<int> widths = root->sizes();
    const int index = root->indexOf(area);
    // The monitoring column gives the room, or else the widest other area.
    int donor = splitterOf(m_dataDock) ? root->indexOf(splitterOf(m_dataDock)) : -1;
    if (donor < 0 || donor == index) {
        donor = -1;
        for (int i = 0; i < widths.size(); ++i) {
            if (i != index && (donor < 0 || widths[i] > widths[donor]))
                donor = i;
        }
    }
    if (donor < 0 || index < 0)
        return false;
    const int give = qBound(0, needed - visible, widths[donor]);
    widths[index] += give;
    widths[donor] -= give;
    if (give > 0)
        root->setSizes(widths);
    // The docking library takes the room for a new area from all the others, the tree too;
    // in the first layout the tree gets its fifth back from the monitoring column.
    applyFirstLayout();
    return give > 0;
}

void CMainWindow::on_actionSaveState_triggered()
{
    qDebug() << "MainWindow::on_actionSaveState_triggered";
    saveState();
}

void CMainWindow::on_actionRestoreState_triggered()
{
    qDebug() << "MainWindow::on_actionRestoreState_triggered";
    restoreState();
}

void CMainWindow::aboutActionTriggered()
{
    m_logoWindow->show();
}

void CMainWindow::closeEvent(QCloseEvent *event)
{
    if (!boxTransferMayEnd()) {
        event->ignore();
        return;
    }
    if (m_projectModel->rowCount() > 0) {
        const auto answer = QMessageBox::question(
            this, tr("Save Changes"), tr("Do you want to save all projects before closing them?"),
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::NoButton);
        if (answer == QMessageBox::Cancel || answer == QMessageBox::Escape
            || answer == QMessageBox::NoButton) {
            event->ignore();
            return;
        }
        // A project whose save failed must not be dropped: the window stays open.
        if (answer == QMessageBox::Yes && !saveProjectAllFile()) {
            event->ignore();
            return;
        }
        saveState();
        m_dockManager->deleteLater();
        QMainWindow::closeEvent(event);
        return;
    }
    qDebug() << "No projects found. Closing without prompt.";
    QMainWindow::closeEvent(event);
}

void CMainWindow::closeTabByName(const QString &tabName)
{
    m_monitoring->closeTab(tabName);
}

void CMainWindow::appendMessage(const QString &text)
{
    if (m_messageEditor)
        m_messageEditor->appendPlainText(text);
}

ads::CDockWidget *CMainWindow::findEditDock(EditDockKind kind) const
{
    return m_editDocks->find(kind);
}

ads::CDockWidget *CMainWindow::findEditDock(const QString &translatedTitle) const
{
    EditDockKind kind;
    return EditDocks::kindOfTitle(translatedTitle, &kind) ? m_editDocks->find(kind) : nullptr;
}

ads::CDockWidget *CMainWindow::createEditDock(const QString &translatedTitle, QWidget *dialog)
{
    EditDockKind kind;
    if (!EditDocks::kindOfTitle(translatedTitle, &kind))
        return nullptr;
    return m_editDocks->create(kind, dialog);
}

void CMainWindow::placeEditDock(ads::CDockWidget *dock)
{
    m_editDocks->place(dock);
}

bool CMainWindow::closeEditDock(const QString &translatedTitle)
{
    EditDockKind kind;
    return EditDocks::kindOfTitle(translatedTitle, &kind) && m_editDocks->close(kind);
}
