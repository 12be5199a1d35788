#include "bus/BusStation.h"

#include "layer7/AisgLayer7.h"

BusStation::BusStation(AisgLayer7& layer7, BusUi ui, ScanEngine::OptionsProvider scanOptions,
                       BusTicker::OptionsProvider pollOptions, Clock* workerClock)
    : failures_(layer7.Log(), ui.Messages),
      engine_(layer7, ui.Windows, ui.Messages, std::move(scanOptions)),
      control_(engine_, layer7.Log()),
      list_(layer7, ui.View, ui.Windows),
      poller_(layer7, engine_, polls_, uiWork_, list_, ui.View, ui.Windows, failures_),
      ticker_(engine_, control_, list_, polls_, uiWork_, ui.View, failures_, std::move(pollOptions)),
      commands_(layer7, engine_, control_, polls_, uiWork_, list_, ticker_, ui, failures_),
      aldCommands_(layer7, list_, ui, failures_),
      worker_(engine_, control_, polls_, poller_, failures_, workerClock ? *workerClock : layer7.Time()) {}
