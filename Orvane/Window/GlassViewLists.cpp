// The glass view's server and session lists, their dialogs, and the switch to local tmux.
#include "GlassView.h"

#include "Glow.h"
#include "Transports.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace orvane {

namespace {

std::string trimmed(const QString& s)
{
    return s.trimmed().toStdString();
}

// A small modal dialog: a message, the given fields, OK and Cancel.
bool runDialog(QWidget* parent, const QString& message, const std::vector<QWidget*>& fields)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Orvane"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(message));
    for (QWidget* f : fields) {
        f->setParent(&dialog);
        f->setFixedWidth(280);
        layout->addWidget(f);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (!fields.empty())
        fields.front()->setFocus();
    const bool ok = dialog.exec() == QDialog::Accepted;
    for (QWidget* f : fields)
        f->setParent(nullptr);  // the caller reads them after the dialog is gone
    return ok;
}

std::optional<GlassView::ServerFields> serverDialog(QWidget* parent, const std::optional<Server>& server)
{
    QLineEdit name, target;
    QCheckBox tmux(QStringLiteral("Use tmux on this server"));
    name.setPlaceholderText(QStringLiteral("Name (optional)"));
    target.setPlaceholderText(QStringLiteral("user@server"));
    if (server) {
        name.setText(QString::fromStdString(server->name));
        target.setText(QString::fromStdString(server->target));
    }
    tmux.setChecked(!server || server->tmux);
    const bool ok = runDialog(parent, server ? QStringLiteral("Edit server") : QStringLiteral("Add server"),
                              {&name, &target, &tmux});
    if (!ok)
        return std::nullopt;
    GlassView::ServerFields f{trimmed(name.text()), trimmed(target.text()), tmux.isChecked()};
    return f;
}

std::optional<std::string> textDialog(QWidget* parent, const QString& title, const QString& placeholder,
                                      const QString& initial)
{
    QLineEdit field;
    field.setPlaceholderText(placeholder);
    field.setText(initial);
    if (!runDialog(parent, title, {&field}))
        return std::nullopt;
    const std::string text = trimmed(field.text());
    return text.empty() ? std::nullopt : std::optional(text);
}

}  // namespace

ServerStore& GlassView::serverStore()
{
    if (!serverStore_)
        serverStore_ = std::make_unique<ServerStore>();
    return *serverStore_;
}

PickerView* GlassView::openPicker(bool sessions)
{
    auto* p = new PickerView(content().adjusted(-10, -10, 10, 10).toAlignedRect(), this);
    p->accent = Glow::all()[size_t(glowIndex_) % Glow::all().size()].accent();
    const QPointer<GlassView> view(this);
    p->onClose = [view] {
        if (view)
            view->closePicker();
    };
    p->show();
    p->raise();
    p->setFocus(Qt::OtherFocusReason);
    picker_ = p;
    sessionsOpen_ = sessions;
    return p;
}

void GlassView::closePicker()
{
    if (picker_) {
        picker_->hide();
        picker_->deleteLater();
        picker_ = nullptr;
    }
    if (!tabs_.empty())
        focusPane(*tabs_[size_t(active_)]);
}

void GlassView::fillServers()
{
    if (!picker_)
        return;
    std::vector<PickerItem> rows;
    rows.push_back({QStringLiteral("Local tmux"), QStringLiteral("attach or start"), false, false, false, false, true});
    const auto& record = keyLoginRecord();
    for (const Server& s : serverStore().servers()) {
        const auto key = record.find(s.id());
        rows.push_back({QString::fromStdString(s.name),
                        QString::fromStdString(s.target) + (s.tmux ? QString() : QStringLiteral("  (ssh only)")),
                        true, s.tmux, s.own, key != record.end() && key->second, false});
    }
    picker_->items = std::move(rows);
    picker_->update();
}

void GlassView::showServers()
{
    closePicker();
    PickerView* p = openPicker(false);
    p->numbered = true;
    p->zeroIndexed = true;
    p->heading = QStringLiteral("Servers");
    fillServers();
    const QPointer<GlassView> view(this);
    auto server = [view](int i) -> std::optional<Server> {
        const auto& list = view->serverStore().servers();
        if (i < 1 || i > int(list.size()))
            return std::nullopt;
        return list[size_t(i - 1)];
    };
    p->onChoose = [view, server](int i) {
        if (!view)
            return;
        const std::optional<Server> chosen = i == 0 ? std::optional(localTmuxServer()) : server(i);
        view->closePicker();
        if (chosen && view->onOpenServer)
            view->onOpenServer(*chosen);
    };
    p->onDelete = [view, server](int i) {
        if (!view)
            return;
        if (const auto s = server(i)) {
            view->serverStore().remove(*s);
            view->fillServers();
        }
    };
    auto ask = [view](const std::optional<Server>& s) -> std::optional<ServerFields> {
        auto fields = view->editServer ? view->editServer(s) : serverDialog(view, s);
        if (!fields)
            return std::nullopt;
        // A target must pass the target rule, or at least look like user@host.
        if (fields->target.empty() || (!validTarget(fields->target) && fields->target.find('@') == std::string::npos))
            return std::nullopt;
        if (fields->name.empty())
            fields->name = fields->target;
        return fields;
    };
    p->onEdit = [view, server, ask](int i) {
        if (!view)
            return;
        const auto s = server(i);
        if (!s)
            return;
        if (const auto fields = ask(s)) {
            view->serverStore().update(*s, fields->name, fields->target, fields->tmux);
            view->fillServers();
        }
    };
    p->onAdd = [view, ask] {
        if (!view)
            return;
        if (const auto fields = ask(std::nullopt)) {
            view->serverStore().add(fields->name, fields->target, fields->tmux);
            view->fillServers();
        }
    };
    p->onReorder = [view](int from, int to) {
        if (!view)
            return;
        std::vector<Server> list = view->serverStore().servers();
        if (from < 1 || from > int(list.size()))
            return;
        const Server moved = list[size_t(from - 1)];
        list.erase(list.begin() + (from - 1));
        const int at = std::min(std::max(to - 1, 0), int(list.size()));
        list.insert(list.begin() + at, moved);
        view->serverStore().reorder(list);
        view->fillServers();
    };
}

void GlassView::showSessions()
{
    if (!link_) {
        QApplication::beep();
        return;
    }
    closePicker();
    openPicker(true);
    fillSessions();
    link_->client->requestSessions(true);
}

void GlassView::fillSessions()
{
    if (!link_ || !picker_)
        return;
    PickerView* p = picker_;
    p->numbered = true;
    p->heading = QStringLiteral("Sessions on ") + QString::fromStdString(link_->server.name);
    const int64_t now = QDateTime::currentSecsSinceEpoch();
    std::vector<PickerItem> rows;
    for (const SessionInfo& s : link_->sessions) {
        PickerItem item;
        item.title = QString::fromStdString(s.name) + (s.name == link_->sessionName ? QStringLiteral(" \u25CF") : QString());
        item.detail = QStringLiteral("%1 windows, %2 attached, %3")
                          .arg(s.windows)
                          .arg(s.attached)
                          .arg(QString::fromStdString(ago(now, s.activity)));
        rows.push_back(item);
    }
    p->items = std::move(rows);
    const QPointer<GlassView> view(this);
    auto session = [view](int i) -> std::optional<SessionInfo> {
        if (!view || !view->link_ || i < 0 || i >= int(view->link_->sessions.size()))
            return std::nullopt;
        return view->link_->sessions[size_t(i)];
    };
    p->onChoose = [view, session](int i) {
        if (const auto s = session(i)) {
            view->runLinked("switch-client -t " + s->id);
            view->closePicker();
        }
    };
    p->onDelete = [view, session](int i) {
        if (const auto s = session(i))
            view->runLinked("kill-session -t " + s->id);
    };
    p->onAdd = [view] {
        if (!view)
            return;
        const auto name = view->askText ? view->askText(QStringLiteral("New session"), QStringLiteral("Name"), {})
                                        : textDialog(view, QStringLiteral("New session"), QStringLiteral("Name"), {});
        if (!view || !name || !validSession(*name))
            return;
        view->runLinked("new-session -d -s " + *name);
        view->runLinked("switch-client -t " + *name);
        view->closePicker();
    };
    p->update();
}

void GlassView::switchToLocalTmux()
{
    if (link_ || tabs_.size() != 1 || tabs_[0]->panes.size() != 1)
        return;
    if (TerminalView* pane = tabs_[0]->panes[0]) {
        if (pane->shell) {
            pane->shell->stop();
            pane->shell.reset();
        }
        pane->hide();
        pane->deleteLater();
    }
    tabs_.clear();
    attachTmux(std::make_shared<LocalTmuxTransport>(false), localTmuxServer(), "local");
}

}  // namespace orvane
