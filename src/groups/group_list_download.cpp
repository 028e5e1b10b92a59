// The group-list connection: login, LIST, and the answer streamed into HOSTGRPS.TXT.
#include "groups/group_manager.h"

#include "base/context.h"
#include "base/number_text.h"
#include "groups/list_numbers.h"
#include "nntp/tls_policy.h"

#include <QFile>

namespace kestrel {

bool sendGroupList(Context &ctx, NntpConnection &listConnection, const QByteArray &line)
{
    if (!listConnection.sendLine(line))
        return false;
    ctx.writeLog(displayText(line), true);
    return true;
}

namespace {

const QString kListFile = QStringLiteral("HOSTGRPS.TXT");

// The whole-number value of a port text: its leading digits.
quint16 portNumber(const QString &text)
{
    qsizetype digits = 0;
    while (digits < text.size() && digits < 5 && text[digits].isDigit())
        ++digits;
    return quint16(text.left(digits).toUInt());
}

} // namespace

void GroupManager::cmdGetHostGroupsClicked()
{
    const QString path = m_ctx.state.file(kListFile);
    if (QFile::exists(path)) {
        const QString question = QStringLiteral("Ok to delete existing HOSTGRPS.TXT? ") +
                                 QStringLiteral("\r\r") +
                                 QStringLiteral(" Answer no to abort if you want to back up the file first.");
        if (!m_ctx.prompter.question(question, false))
            return;
        QFile::remove(path);
    }
    m_groupListBuffer.clear();
    GroupManagerControls c = m_controls;
    c.cmdGetHostGroups = false;
    c.reloadHostGroups = false;
    c.cmdQR = c.optStartsWith = c.optContains = c.txtQR = false;
    setControls(c);
    m_results.clear();

    if (m_ctx.settings.text(u"txtPort").isEmpty())
        m_ctx.settings.setText(u"txtPort", defaultPortText(m_ctx.settings));
    const QString host = m_ctx.settings.text(u"txtHost");
    if (host.isEmpty()) {
        m_ctx.prompter.message(
            QStringLiteral("Enter News Server name by pressing SCAN on main screen, and then try again.") +
            QStringLiteral("\r\r") +
            QStringLiteral(
                "  This is usually 'news.(hostname).net' or something similar.  Contact your system "
                "admin if you are unsure."));
        return;
    }
    if (!m_listConnection.isClosed()) {
        m_ctx.writeLog(QStringLiteral("Connection Error, please wait..."), true);
        m_listConnection.close();
    }
    if (!m_listConnection.isClosed()) {
        m_ctx.writeLog(QStringLiteral("Connection Error..."), true);
        return;
    }
    m_listStarted = false;
    m_listConnection.open(host, portNumber(m_ctx.settings.text(u"txtPort")), tlsPolicy(m_ctx));
    m_ctx.writeLog(QStringLiteral("Connecting..."), true);
}

void GroupManager::sendLoginLine(const QByteArray &line)
{
    static const QByteArray passCommand = QByteArrayLiteral("AUTHINFO PASS ");
    if (!line.startsWith(passCommand)) {
        sendGroupList(m_ctx, m_listConnection, line);
        return;
    }
    // The password itself never reaches the log window or OPSLOG.TXT.
    if (m_listConnection.sendLine(line))
        m_ctx.writeLog(QStringLiteral("AUTHINFO PASS ********"), true);
}

void GroupManager::userNameMissing()
{
    sendGroupList(m_ctx, m_listConnection, QByteArrayLiteral("QUIT"));
    m_listConnection.close();
}

void GroupManager::passwordMissing()
{
    userNameMissing();
}

void GroupManager::requestGroupList()
{
    m_groupBytesReceived = 0;
    m_groupListBuffer.clear();
    // The answer is taken line by line, so a list of many megabytes is never held whole.
    if (m_listConnection.sendLine(QByteArrayLiteral("LIST"), ReplyReader::Delivery::Lines))
        m_ctx.writeLog(QStringLiteral("LIST"), true);
}

void GroupManager::loginComplete()
{
    requestGroupList();
}

void GroupManager::onDataArrived()
{
    ReplyReader &reader = m_listConnection.reader();
    QByteArray block;
    bool complete = false;
    while (!complete) {
        const ReplyReader::Event event = reader.next();
        if (event == ReplyReader::Event::NeedMore)
            break;
        switch (event) {
        case ReplyReader::Event::Reply:
            if (reader.reply().streamed) {
                block += reader.reply().raw; // the "215 " status line opens the file
            } else {
                onReply(reader.reply());
                if (!m_listConnection.isConnected())
                    return;
            }
            break;
        case ReplyReader::Event::Line:
            block += reader.lineWithEnd();
            break;
        case ReplyReader::Event::BlockEnd:
            block += reader.lineWithEnd();
            complete = true;
            break;
        default:
            onConnectionLost(QStringLiteral("The group list is too large."));
            return;
        }
    }
    if (complete) {
        saveGroupPacket(block);
        sendGroupList(m_ctx, m_listConnection, QByteArrayLiteral("QUIT"));
        m_listConnection.close();
        loadHostGroupsFile();
    } else if (!block.isEmpty()) {
        m_groupBytesReceived += block.size();
        showGroupStatus(QStringLiteral("Download in progress...  ") + numText(m_groupBytesReceived) +
                            QStringLiteral(" bytes received"),
                        0);
        writeGroupPacket(block);
    }
}

void GroupManager::onReply(const NntpReply &reply)
{
    if (m_login.answer(ConnectionRole::GroupList, reply))
        return;
    const QString text = displayText(reply.statusLine().toByteArray());
    switch (reply.code) {
    case 200:
    case 201:
        m_ctx.writeLog(text, true);
        m_login.greeted(ConnectionRole::GroupList);
        return;
    case 202:
        m_ctx.writeLog(text, true);
        requestGroupList();
        return;
    case 500:
        m_ctx.writeLog(text, true);
        showGroupStatus(QStringLiteral("Login Error, setup login from scan window"), 0);
        return;
    case 502: {
        m_ctx.writeLog(text + QStringLiteral("(disconnected)"), true);
        m_listConnection.close();
        m_ctx.prompter.message(QStringLiteral("Authentication Error.  Check Username/Password..."));
        GroupManagerControls c = m_controls;
        c.cmdGetHostGroups = true;
        setControls(c);
        return;
    }
    case 205:
        m_ctx.writeLog(text + QStringLiteral("  (disconnected)"), true);
        return;
    case 223:
        m_ctx.writeLog(QStringLiteral("223 article retrieved - request text separately"), true);
        return;
    case 221:
        return;
    default:
        break;
    }
    // 421 (service going away) or any other refusal: nothing more will come on this
    // connection, so it is closed and the download can be started again.
    m_ctx.writeLog(text + QStringLiteral("  (disconnected)"), true);
    onConnectionLost(text);
    GroupManagerControls c = m_controls;
    c.cmdGetHostGroups = true;
    c.reloadHostGroups = true;
    setControls(c);
}

void GroupManager::onConnectionLost(const QString &description)
{
    showGroupStatus(QStringLiteral("Error: ") + description, 0);
    // A refused certificate says why in the log too, as on the other connections; the
    // status bar is gone with the window.
    if (description.startsWith(u"TLS: "))
        m_ctx.writeLog(description, true);
    m_listConnection.close();
}

bool GroupManager::appendToListFile(const QByteArray &bytes, const char *routine)
{
    // The first bytes of a download start the file afresh, whatever was left there.
    QFile file(m_ctx.state.file(kListFile));
    const QIODevice::OpenMode mode = m_listStarted ? QIODevice::Append : QIODevice::Truncate;
    if (!file.open(QIODevice::WriteOnly | mode) || file.write(bytes) != bytes.size() || !file.flush()) {
        m_ctx.prompter.message(QString::fromLatin1(routine) + QStringLiteral(" Error:") + file.errorString());
        return false;
    }
    m_listStarted = true;
    return true;
}

void GroupManager::writeGroupPacket(const QByteArray &bytes)
{
    appendToListFile(bytes, "WriteGroupPacket");
}

void GroupManager::saveGroupPacket(const QByteArray &bytes)
{
    appendToListFile(bytes, "SaveGroupPacket");
    const QString size = kbWhole(m_groupBytesReceived);
    showGroupStatus(QStringLiteral("Download complete!  HOSTGRPS.TXT (") + size +
                        QStringLiteral(" Kb) Saved and ready."),
                    0);
    m_ctx.writeLog(QStringLiteral("Groups download complete: HOSTGRPS.TXT (") + size +
                       QStringLiteral(" Kb) Saved and ready."),
                   true);
    GroupManagerControls c = m_controls;
    c.cmdQR = c.cmdGetHostGroups = c.optStartsWith = c.reloadHostGroups = c.optContains = c.txtQR = true;
    setControls(c);
}

} // namespace kestrel
