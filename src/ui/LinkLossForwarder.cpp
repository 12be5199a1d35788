#include "ui/LinkLossForwarder.h"

#include "link/AisgHdlc.h"

LinkLossForwarder::LinkLossForwarder(AisgHdlc& link, std::function<void(uint8_t slot)> onLost, QObject* parent)
    : QObject(parent), link_(link), onLost_(std::move(onLost)) {
  link_.AddLinkObserver(this);
}

LinkLossForwarder::~LinkLossForwarder() {
  link_.RemoveLinkObserver(this);
}

// The address is the slot: the scan gives every ALD its slot number. A call
// still queued when this object goes is dropped with it.
void LinkLossForwarder::OnLinkLost(uint8_t address) {
  QMetaObject::invokeMethod(
      this, [this, address] { onLost_(address); }, Qt::QueuedConnection);
}
