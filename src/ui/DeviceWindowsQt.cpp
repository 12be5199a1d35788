#include "ui/DeviceWindowsQt.h"

#include <QAbstractButton>
#include <QAction>
#include <QCloseEvent>
#include <QFileDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QScrollArea>
#include <QThread>

#include "ald/AldTable.h"
#include "core/TraceLog.h"
#include "ui/DeviceWindow.h"

DeviceWindowsQt::DeviceWindowsQt(QMdiArea& area, AisgLayer7& layer7, AldTable& table, TraceLog& log,
                                 UserMessages& messages, QObject* parent)
    : QObject(parent),
      area_(area),
      layer7_(layer7),
      table_(table),
      log_(log),
      messages_(messages),
      failures_(log, messages) {
  connect(&area_, &QMdiArea::subWindowActivated, this, &DeviceWindowsQt::OnSubWindowActivated);
  SetHooks({});
}

// The downloads' choice: any file ("All Files (*.*)").
void DeviceWindowsQt::SetHooks(DeviceWindowHooks hooks) {
  if (!hooks.ChooseFile) {
    QMdiArea* area = &area_;
    hooks.ChooseFile = [area]() -> std::optional<std::string> {
      QString path = QFileDialog::getOpenFileName(area->window(), QString(), QString(), tr("All Files (*)"));
      if (path.isEmpty()) return std::nullopt;
      return path.toStdString();
    };
  }
  hooks_ = std::move(hooks);
}

// The windows call back into this object; none may outlive it.
DeviceWindowsQt::~DeviceWindowsQt() {
  closingAll_ = true;
  for (auto& [slot, entry] : windows_) delete entry.Frame.data();
}

template <class F>
void DeviceWindowsQt::OnGuiThread(F&& f) {
  if (QThread::currentThread() == thread()) {
    f();
  } else {
    QMetaObject::invokeMethod(this, std::forward<F>(f), Qt::QueuedConnection);
  }
}

bool DeviceWindowsQt::HasWindow(uint8_t slot) const {
  return open_[slot].load();
}

void DeviceWindowsQt::SetOpen(uint8_t slot, bool open) {
  open_[slot].store(open);
}

bool DeviceWindowsQt::HasActiveWindow() const {
  return activeSlot_.load() != 0;
}

DeviceWindow* DeviceWindowsQt::Window(uint8_t slot) const {
  auto it = windows_.find(slot);
  return it == windows_.end() ? nullptr : it->second.View.data();
}

QMdiSubWindow* DeviceWindowsQt::Frame(uint8_t slot) const {
  auto it = windows_.find(slot);
  return it == windows_.end() ? nullptr : it->second.Frame.data();
}

DeviceWindow* DeviceWindowsQt::ActiveWindow() const {
  return Window(activeSlot_.load());
}

std::vector<uint8_t> DeviceWindowsQt::OpenSlots() const {
  std::vector<uint8_t> open;
  for (const auto& [slot, entry] : windows_) open.push_back(slot);
  return open;
}

void DeviceWindowsQt::SetRowRefresher(std::function<void(uint8_t, uint8_t)> refresher) {
  refreshRows_ = std::move(refresher);
}

// ---- Opening, activation, closing ----

// A device window has no close button, and its window menu (which Qt
// keeps for the keyboard) no "Close" entry; the event filter turns away any
// other way to close it (Ctrl+F4, a closable tab). It lives until the bus
// is reset.
void DeviceWindowsQt::OpenWindow(uint8_t slot) {
  if (slot == 0 || slot > AldTable::kMaxAld) return;
  if (QMdiSubWindow* existing = Frame(slot)) {
    activeSlot_ = slot;
    area_.setActiveSubWindow(existing);
    return;
  }
  auto refresh = [this](uint8_t s, uint8_t subunit) {
    if (refreshRows_) refreshRows_(s, subunit);
  };
  auto* view = new DeviceWindow(slot, {layer7_, table_, log_, failures_, messages_, hooks_}, refresh);
  // The styles draw a title bar's close button with its window menu, and
  // a sub-window gets that menu with any title bar button: so the frame has
  // a title and no buttons (the document area shows it as a tab anyway).
  auto* frame = new QMdiSubWindow(nullptr, Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  // A narrow document area scrolls the window instead of cutting off the
  // field pages at its right edge.
  auto* scroll = new QScrollArea;
  scroll->setWidget(view);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  frame->setWidget(scroll);
  frame->setAttribute(Qt::WA_DeleteOnClose, false);
  frame->setWindowTitle(view->Title());
  frame->setObjectName(QStringLiteral("aldFrame%1").arg(slot));
  RemoveCloseEntry(frame);
  ActivateOnPress(view, frame);
  frame->installEventFilter(this);
  windows_[slot] = {frame, view};
  SetOpen(slot, true);
  activeSlot_ = slot;
  area_.addSubWindow(frame);
  frame->show();
  area_.setActiveSubWindow(frame);
}

// A mouse or the keyboard brings a window up before its button is pressed;
// a screen reader or an automation tool presses it where it is. Either way
// the operation must act on this window's ALD, which only the active window
// makes current.
void DeviceWindowsQt::ActivateOnPress(DeviceWindow* view, QMdiSubWindow* frame) {
  for (QAbstractButton* button : view->findChildren<QAbstractButton*>()) {
    connect(button, &QAbstractButton::pressed, frame, [this, frame] {
      if (area_.activeSubWindow() != frame) area_.setActiveSubWindow(frame);
    });
  }
}

void DeviceWindowsQt::RemoveCloseEntry(QMdiSubWindow* frame) {
  QMenu* menu = frame->systemMenu();
  if (!menu) return;
  QList<QAction*> actions = menu->actions();
  for (qsizetype i = 0; i < actions.size(); ++i) {
    if (actions[i]->text().remove(QLatin1Char('&')) != QLatin1String("Close")) continue;
    menu->removeAction(actions[i]);
    if (i > 0 && actions[i - 1]->isSeparator()) menu->removeAction(actions[i - 1]);
    break;
  }
}

bool DeviceWindowsQt::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Close && !closingAll_ && qobject_cast<QMdiSubWindow*>(watched)) {
    event->ignore();
    return true;
  }
  return QObject::eventFilter(watched, event);
}

// Activation makes the window's ALD the current one: the main window's
// device commands then act on what the technician looks at.
void DeviceWindowsQt::OnSubWindowActivated(QMdiSubWindow* frame) {
  if (!frame || closingAll_) return;
  for (const auto& [slot, entry] : windows_) {
    if (entry.Frame != frame) continue;
    table_.SelectAld(slot);
    activeSlot_ = slot;
    log_.Write(kTraceInfo, TraceClass::kMain, slot, "Activating %s", frame->windowTitle().toUtf8().constData());
    emit windowActivated(slot);
    return;
  }
}

void DeviceWindowsQt::Raise(uint8_t slot) {
  QMdiSubWindow* frame = Frame(slot);
  if (!frame) return;
  if (frame->isMinimized()) frame->showNormal();
  area_.setActiveSubWindow(frame);
}

// A window whose operation still waits for the device (the bus reset can
// come from a command run inside that wait) is deleted only once the
// operation has returned.
void DeviceWindowsQt::CloseAll() {
  closingAll_ = true;
  for (auto& [slot, entry] : windows_) {
    SetOpen(slot, false);
    if (!entry.Frame) continue;
    area_.removeSubWindow(entry.Frame);
    entry.Frame->deleteLater();
  }
  windows_.clear();
  activeSlot_ = 0;
  closingAll_ = false;
}

// ---- Calls from any thread ----

void DeviceWindowsQt::LoadAld(uint8_t slot) {
  OnGuiThread([this, slot] {
    if (DeviceWindow* window = Window(slot)) {
      failures_.Guard("the reload of a reconnected ALD", [&] { window->LoadAld(slot); });
    }
  });
}

void DeviceWindowsQt::EnableCommands(uint8_t slot, bool enable) {
  OnGuiThread([this, slot, enable] {
    if (DeviceWindow* window = Window(slot)) window->EnableCommands(enable);
  });
}

void DeviceWindowsQt::ShowLinkLost(uint8_t slot) {
  OnGuiThread([this, slot] {
    if (DeviceWindow* window = Window(slot)) window->ShowLinkLost();
  });
}

// The alarm poll may report from the worker thread.
void DeviceWindowsQt::ShowAlarmText(const std::string& text) {
  OnGuiThread([this, text] {
    if (DeviceWindow* window = ActiveWindow()) window->ShowAlarmText(QString::fromStdString(text));
  });
}

// ---- The active window ----

void DeviceWindowsQt::ShowDeviceType(uint8_t deviceType) {
  if (DeviceWindow* window = ActiveWindow()) window->ShowDeviceType(deviceType);
}

void DeviceWindowsQt::RefreshAllSubunits() {
  if (DeviceWindow* window = ActiveWindow()) window->RefreshAllSubunits();
}

void DeviceWindowsQt::RefreshAld() {
  if (DeviceWindow* window = ActiveWindow()) window->RefreshAld();
}

void DeviceWindowsQt::GetAlarms() {
  if (DeviceWindow* window = ActiveWindow()) window->GetAlarms();
}

void DeviceWindowsQt::ResetDevice() {
  if (DeviceWindow* window = ActiveWindow()) window->ResetDevice();
}

void DeviceWindowsQt::SelfTest() {
  if (DeviceWindow* window = ActiveWindow()) window->SelfTest();
}

void DeviceWindowsQt::GetAll() {
  if (DeviceWindow* window = ActiveWindow()) window->GetAll();
}

void DeviceWindowsQt::GetInfo() {
  if (DeviceWindow* window = ActiveWindow()) window->GetInfo();
}

void DeviceWindowsQt::GetSubunits() {
  if (DeviceWindow* window = ActiveWindow()) window->GetSubunits();
}

void DeviceWindowsQt::SubscribeAlarms() {
  if (DeviceWindow* window = ActiveWindow()) window->SubscribeAlarms();
}

void DeviceWindowsQt::ClearDisplay() {
  if (DeviceWindow* window = ActiveWindow()) window->ClearDisplay();
}

void DeviceWindowsQt::ShowResult(ResultCode result) {
  if (DeviceWindow* window = ActiveWindow()) window->ShowResult(result, nullptr);
}

void DeviceWindowsQt::ShowAlarmStatus(const std::string& text, bool alarmed) {
  if (DeviceWindow* window = ActiveWindow()) window->ShowAlarmStatus(QString::fromStdString(text), alarmed);
}

void DeviceWindowsQt::ClearAlarmBoxes() {
  if (DeviceWindow* window = ActiveWindow()) window->ClearAlarmBoxes();
}

void DeviceWindowsQt::EnableRetTab(bool enable) {
  if (DeviceWindow* window = ActiveWindow()) window->EnableRetTab(enable);
}
