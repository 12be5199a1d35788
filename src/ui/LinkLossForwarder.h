#pragma once

#include <QObject>
#include <cstdint>
#include <functional>

#include "link/LinkObserver.h"

class AisgHdlc;

// Hears the link layer declare an ALD lost, on whichever thread polled it,
// and hands the slot to the user-interface thread: the windows showing it
// are touched there only. Registered with the link for its whole life.
class LinkLossForwarder : public QObject, public LinkObserver {
  Q_OBJECT

 public:
  // onLost runs on the thread this object lives on (the one creating it).
  LinkLossForwarder(AisgHdlc& link, std::function<void(uint8_t slot)> onLost, QObject* parent = nullptr);
  ~LinkLossForwarder() override;
  LinkLossForwarder(const LinkLossForwarder&) = delete;
  LinkLossForwarder& operator=(const LinkLossForwarder&) = delete;

  // Any thread; returns at once.
  void OnLinkLost(uint8_t address) override;

 private:
  AisgHdlc& link_;
  std::function<void(uint8_t)> onLost_;
};
