#pragma once
#include "play/GameInfo.h"
#include "stages/Stage.h"

// A current-version stage built on the old one: the same beginning, but it starts without drift,
// whatever a stage before left.
template <class OldStage>
class DriftlessStage : public OldStage {
public:
    using OldStage::OldStage;
    void Begin(Script& script) override {
        OldStage::Begin(script);
        this->gameInfo->SetMarkPosition(0, 0);
    }
};
