#include "gui/boxlink/BoxSearchDialog.h"

#include "core/support/WriteLog.h"

#include <QComboBox>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

BoxSearchDialog::BoxSearchDialog(QWidget *parent)
    : QDialog(parent)
{
    qRegisterMetaType<QNetworkInterface>("QNetworkInterface");
    setWindowTitle(tr("Search Box"));

    m_discovery = new BoxDiscovery(this);
    m_results = new QListWidget(this);
    m_interfaceChoice = new QComboBox(this);
    m_searchButton = new QPushButton(tr("Search"), this);

    for (const QNetworkInterface &iface : m_discovery->interfaces()) {
        // The address tells apart interfaces whose names say little.
        const QHostAddress address = m_discovery->firstIpv4(iface);
        const QString text = address.isNull()
            ? iface.humanReadableName()
            : iface.humanReadableName() + QStringLiteral(" \u2014 ") + address.toString();
        m_interfaceChoice->addItem(text, QVariant::fromValue(iface));
    }
    useChosenInterface();

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_results);
    layout->addWidget(m_interfaceChoice);
    layout->addWidget(m_searchButton);

    connect(m_searchButton, &QPushButton::clicked, this, &BoxSearchDialog::searchForBoxes);
    // A changed choice takes effect with the next request.
    connect(m_interfaceChoice, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &BoxSearchDialog::useChosenInterface);
    connect(m_discovery, &BoxDiscovery::boxFound, this, &BoxSearchDialog::showFound);
    connect(m_discovery, &BoxDiscovery::nothingFound, this, &BoxSearchDialog::showNothingFound);
    connect(m_discovery, &BoxDiscovery::messageAppended, this, &BoxSearchDialog::messageAppended);

    writeLog(QStringLiteral("BoxSearchDialog new-nuilt"));
}

BoxSearchDialog::~BoxSearchDialog()
{
    writeLog(QStringLiteral("BoxSearchDialog destroyed"));
}

bool BoxSearchDialog::isSearching() const
{
    return m_discovery->isSearching();
}

void BoxSearchDialog::useChosenInterface()
{
    m_discovery->setInterface(m_interfaceChoice->currentData(Qt::UserRole).value<QNetworkInterface>());
}

void BoxSearchDialog::enableAddToProject()
{
    if (m_addButton)
        return;
    m_addButton = new QPushButton(tr("Add to project"), this);
    m_addButton->setEnabled(false);
    layout()->addWidget(m_addButton);
    connect(m_results, &QListWidget::currentItemChanged, this,
            [this](QListWidgetItem *current) { m_addButton->setEnabled(current != nullptr); });
    connect(m_addButton, &QPushButton::clicked, this,
            [this] { requestAddToProject(m_results->currentItem()); });
    connect(m_results, &QListWidget::itemDoubleClicked, this, &BoxSearchDialog::requestAddToProject);
}

void BoxSearchDialog::requestAddToProject(const QListWidgetItem *item)
{
    if (!item)
        return;
    emit addToProjectRequested(item->data(IpRole).toString(), item->data(ModelRole).toString());
}

void BoxSearchDialog::searchForBoxes()
{
    m_results->clear();
    m_discovery->start();
    writeLog(QStringLiteral("BoxSearchDialog: search"));
}

void BoxSearchDialog::showNothingFound(const QString &failure)
{
    if (!failure.isEmpty()) {
        // Nothing went out, so nothing could answer: a local fault, not an empty network.
        writeLog(QStringLiteral("BoxSearchDialog: search failed, no request sent."));
        QMessageBox::warning(this, tr("Search Failed"), tr("Could not send the search request: %1").arg(failure));
    } else {
        writeLog(QStringLiteral("BoxSearchDialog: search timeout, no devices found."));
        QMessageBox::information(this, tr("No Devices Found"), tr("No devices were found during the search."));
    }
}

void BoxSearchDialog::sendSearchBroadcast()
{
    useChosenInterface();
    m_discovery->sendRequest();
}

void BoxSearchDialog::readPendingDatagrams()
{
    m_discovery->readPendingDatagrams();
}

void BoxSearchDialog::showFound(const FrameCodec::DiscoveryInfo &info)
{
    auto *item = new QListWidgetItem(QStringLiteral("设备IP: ") + info.ip + QStringLiteral("\n子网掩码: ") + info.mask
                                     + QStringLiteral("\n盒子型号: ") + info.model);
    item->setData(IpRole, info.ip);
    item->setData(ModelRole, info.model);
    m_results->addItem(item);
}
