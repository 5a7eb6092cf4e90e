#include "single_instance.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <memory>

namespace shell {
namespace {

constexpr quint32 HandOverMagic = 0x54424d50;  // "TBMP"
constexpr int MaxMessageBytes = 1 << 20;

QString runtimeFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) {
        folder = QDir::tempPath();
    }
    return folder;
}

// The folder with every link resolved, also before it exists (an installed copy creates its settings folder
// on its first write, possibly while a second start is already looking for the first).
QString canonicalFolder(const QString& folder) {
    QString missing;
    QString existing = QDir::cleanPath(QDir(folder).absolutePath());
    for (QFileInfo info(existing); !info.exists() && !info.isRoot(); info.setFile(existing)) {
        missing = QStringLiteral("/") + info.fileName() + missing;
        existing = info.absolutePath();
    }
    const QString canonical = QFileInfo(existing).canonicalFilePath();
    return (canonical.isEmpty() ? existing : canonical) + missing;
}

}  // namespace

SingleInstance::SingleInstance(const QString& settingsFolder, QObject* parent) : QObject(parent) {
    const QByteArray key = canonicalFolder(settingsFolder).toUtf8();
    const QByteArray hash = QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(16);
    m_baseName = QDir(runtimeFolder()).filePath(QStringLiteral("tarvikbmp-") + QString::fromLatin1(hash));
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnection);
}

SingleInstance::~SingleInstance() {
    m_server.close();
}

QString SingleInstance::lockFilePath() const {
    return m_baseName + QStringLiteral(".lock");
}

QString SingleInstance::serverName() const {
    return m_baseName + QStringLiteral(".sock");
}

bool SingleInstance::claim() {
    m_lock = std::make_unique<QLockFile>(lockFilePath());
    // Only a lock whose owner has died is stale; a long-running first instance keeps it however old it gets.
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        if (m_lock->error() == QLockFile::LockFailedError) {
            return false;
        }
        m_lock.reset();
        return true;
    }
    // A socket left behind by a first instance that crashed would block listen().
    QLocalServer::removeServer(serverName());
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    m_server.listen(serverName());
    return true;
}

bool SingleInstance::handOver(const QStringList& paths, int timeoutMs) {
    QByteArray message;
    {
        QDataStream out(&message, QIODevice::WriteOnly);
        out << HandOverMagic << paths;
    }
    const QDeadlineTimer deadline(timeoutMs);
    auto remaining = [&deadline] { return static_cast<int>(std::max<qint64>(1, deadline.remainingTime())); };
    do {
        QLocalSocket socket;
        socket.connectToServer(serverName());
        if (socket.waitForConnected(remaining())) {
            socket.write(message);
            const bool written = socket.waitForBytesWritten(remaining());
            socket.disconnectFromServer();
            if (socket.state() != QLocalSocket::UnconnectedState) {
                socket.waitForDisconnected(remaining());
            }
            return written || socket.bytesToWrite() == 0;
        }
        // The first instance takes its lock before it listens; give it a moment.
        QThread::msleep(50);
    } while (!deadline.hasExpired());
    return false;
}

void SingleInstance::acceptConnection() {
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        auto buffer = std::make_shared<QByteArray>();
        auto finish = [this, socket, buffer] {
            buffer->append(socket->readAll());
            QDataStream in(*buffer);
            quint32 magic = 0;
            QStringList paths;
            in >> magic >> paths;
            if (magic == HandOverMagic && in.status() == QDataStream::Ok &&
                buffer->size() <= MaxMessageBytes) {
                emit pathsReceived(paths);
            }
            socket->deleteLater();
        };
        connect(socket, &QLocalSocket::readyRead, socket, [socket, buffer] {
            buffer->append(socket->readAll());
            if (buffer->size() > MaxMessageBytes) {
                socket->abort();
            }
        });
        connect(socket, &QLocalSocket::disconnected, this, finish);
        if (socket->state() == QLocalSocket::UnconnectedState) {
            finish();
        }
    }
}

}  // namespace shell
