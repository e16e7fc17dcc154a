#include "fuzz/model_card.h"

#include "cardlink/driver_requests.h"
#include "cardlink/request_blocks.h"
#include "win32_standin/standin.h"

ModelCard::ModelCard(const virtualcard::CardConfig& config)
    : flash_(virtualcard::kFlashSize, virtualcard::kErasedByte),
      staging_(virtualcard::kBlockSize, virtualcard::kErasedByte),
      model_(flash_.data(), staging_.data()),
      registerBase_(config.registerBase) {
    model_.Configure(config);
}

Answer ModelCard::Next(const DriverRequest& request) {
    const Answer answer = Ask(request);
    EncodeAnswer(answer, recorded);
    if (!answer.ok || answer.value != 0) {
        meaningfulSize = recorded.size();
    }
    return answer;
}

// The host's request rebuilt whole for the card, which checks every word of it; the card's own
// register base stands for the one the host was given.
Answer ModelCard::Ask(const DriverRequest& request) {
    const uint64_t now = win32_standin::NowUs();
    virtualcard::IoResult result{};
    BYTE value = 0;
    if (request.code == IOCTL_CARD_GET_INFO) {
        BYTE info[CARD_INFO_SIZE] = {};
        result = model_.DeviceControl(now, request.code, nullptr, 0, info, sizeof info);
    } else if (request.code == IOCTL_CARD_INITIALIZE) {
        BYTE block[CARD_INIT_REQUEST_SIZE];
        BuildCardInitRequest(block);
        result = model_.DeviceControl(now, request.code, block, sizeof block, block, sizeof block);
    } else {
        BYTE block[CARD_REGISTER_REQUEST_SIZE];
        BuildCardRegisterRequest(block, !request.read, registerBase_ + request.offset,
                                 request.value);
        result = model_.DeviceControl(now, request.code, nullptr, 0, block, sizeof block);
        value = static_cast<BYTE>(GetLe32(block + 4 * REGISTER_VALUE_WORD));
    }
    if (!result.ok) return {false, 0, result.error};
    return {true, request.read ? value : BYTE{0}, 0};
}
