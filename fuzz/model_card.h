// The virtual card as the answer source of a seed input: every request the host makes goes to a
// card model with the seed's configuration, on the stand-in's clock, and every answer is also
// appended to `recorded` in the fuzz input's encoding. The card's fault plan is the model's own.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/hostile_device.h"
#include "virtualcard/card_model.h"

class ModelCard final : public AnswerSource {
  public:
    explicit ModelCard(const virtualcard::CardConfig& config);
    Answer Next(const DriverRequest& request) override;

    std::vector<uint8_t> recorded;
    // The recorded bytes up to the last answer that differs from a quiet card's.
    std::size_t meaningfulSize = 0;

  private:
    Answer Ask(const DriverRequest& request);

    std::vector<uint8_t> flash_;
    std::vector<uint8_t> staging_;
    virtualcard::CardModel model_;
    DWORD registerBase_;
};
