#pragma once

#include <QtGlobal>

class QMessageLogContext;
class QString;

// Console handler for every qDebug/qInfo/qWarning/qCritical/qFatal of the process.
void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message);
