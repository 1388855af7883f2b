#pragma once

// Edits one box item of the project tree (its fields in a BoxEditForm, loaded from and saved to
// the box's record) and works with the box through its BoxSession: connection, settings reads
// and writes, reboot, project deployment, program update and the hand-over of live data to the
// main window. The sessions belong to the window's BoxSessions, one per box: turning the editor
// to another box shows that box's session and leaves the first one running.

#include "core/boxlink/BoxSession.h"
#include "core/boxlink/Protocol.h"
#include "gui/boxlink/BoxEditForm.h"

#include <QDialog>
#include <QPointer>
#include <QTimer>

#include <initializer_list>

class BoxSessions;
class QLineEdit;
class QPushButton;
class QStandardItem;

class BoxEditDialog : public QDialog
{
    Q_OBJECT
public:
    // Without shared sessions the dialog keeps its own (one per box of the item's model, or a
    // single one for an item outside a model).
    BoxEditDialog(QStandardItem *item, QWidget *parent);
    BoxEditDialog(QStandardItem *item, BoxSessions *sessions, QWidget *parent);
    ~BoxEditDialog() override;

    // Makes the dialog edit another box item and show that box's session, opened when it has
    // none; the session of the box shown before goes on. Outside a model the one link stays.
    void loadBoxItem(QStandardItem *item);

    QStandardItem *boxItem() const { return m_boxItem; }
    QLineEdit *nameEdit() const { return m_form.nameEdit; }
    QPushButton *saveButton() const { return m_form.saveButton; }
    BoxSession *session() const { return m_session; }
    Protocol *link() const;
    QString localAddress() const;

    // Save's field check: no address field the user sees holds a part with a leading zero
    // (the typing rule lets "192.168.001.010" stand). Otherwise warns, naming the field.
    bool confirmFields();

    bool transferRunning() const;
    // Before anything that would end a running transfer: asks whether to cancel it and does so
    // on Yes. True when nothing runs any more.
    bool mayEndTransfer();

signals:
    void sendDataToMainWindow(Protocol::dataMonitoringData data);
    // A line for the Message dock.
    void messageAppended(const QString &text);
    // The TCP link to the box at boxIp came up or went down (also when the dialog drops it).
    // boxIp is the address the link was opened to, which may differ from the IP field.
    void linkStateChanged(const QString &boxIp, bool up);

public slots:
    void saveChanges();
    void disconnectFromServer();
    void connectToServer();
    // The editor closes: the link of the box it shows ends, and the editor stops watching
    // that box's session.
    void release();
    void showChangeHostAddressDialog();
    void clearData();
    void rebootDevice();
    void readLanAllocation();
    void writeLanAllocation();
    void readWanAllocation();
    void writeWanAllocation();
    void readWifiAllocation();
    void writeWifiAllocation();
    void readLteAllocation();
    void writeLteAllocation();
    void readNTPAllocation();
    void writeNTPAllocation();
    void readTimeAllocation();
    void writeTimeAllocation();
    void updateProject();
    void updateProgram();
    void cancelTransfer();

protected:
    // Save and Cancel close the dock: a running transfer is asked about first.
    void done(int result) override;

private:
    struct FieldCheck {
        QLineEdit *edit;
        bool required; // empty text is refused too
    };

    void wireButtons();
    // Shows `session` from now on: its status, version, progress and verdict; the one shown
    // before goes on unwatched.
    void attach(BoxSession *session);
    // Only follows the session's signals from now on.
    void watch(BoxSession *session);
    void showSessionState();
    BoxSession *sessionFor(QStandardItem *item);
    // "name (IP)" of the box shown.
    QString boxLabel() const;
    Protocol *ensureLink();
    void appendMessage(const QString &text);
    // An information box for a reply of the box, one at a time, in the order they came.
    void inform(const QString &title, const QString &text, QWidget *parent);
    void setTransferButtons(bool running);
    // The name the records give the project of the box: its top-level item's text.
    QString projectName() const;
    void warnUpdateProject(const QString &text);
    bool fieldsAcceptable(const QString &tab, std::initializer_list<FieldCheck> fields);
    QString fieldName(const QLineEdit *edit) const;
    bool boxAddressUsable(const QString &title);
    void refreshClock();

    void onLanData(const LanAllocationData &data);
    void onWanData(const WanAllocationData &data);
    void onWifiData(const WifiAllocationData &data);
    void onLteData(const LteAllocationData &data);
    void onNtpData(const NTPAllocationData &data);
    void onTimeData(const timeAllocationData &data);

    QStandardItem *m_boxItem = nullptr;
    BoxSessions *m_sessions = nullptr;
    bool m_ownSessions = false; // made here, for a dialog opened on its own
    QPointer<BoxSession> m_session;
    BoxSession *m_loneSession = nullptr; // for an item outside any model
    QTimer m_clock;
    struct Notice
    {
        QString title;
        QString text;
        QPointer<QWidget> parent; // null: no parent
    };
    QList<Notice> m_notices;
    bool m_informing = false;

    BoxEditForm m_form;
};
