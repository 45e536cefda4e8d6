// The plug-in object wired to the scripted device manager as its card.
#pragma once

#include <gtest/gtest.h>

#include "fake_container.h"
#include "fake_dialog.h"
#include "orbitpane/win32/orbitpaneimpl.h"
#include "scripted_device_access.h"

namespace orbitpane_test {

class CardFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        auto create = card.library().Function<framework::CreatePluginFn>(
            framework::kCreatePluginExport, error);
        ASSERT_NE(create, nullptr) << error;
        manager = create();
        ASSERT_NE(manager, nullptr);
        container.deviceManager = manager;
        plugin = orbitpane::CreatePluginWith(DialogSeams(makeDialog));
        plugin->SetContainer(&container);
    }
    void TearDown() override {
        if (OrbitpaneSingleton()) OrbitpaneSingleton()->Release();
        card->WaitIdle(2000);
        manager->Release();
    }
    std::vector<std::string> Sent() { return card->SentLines(); }

    DialogMaker makeDialog;
    scripted::ScriptedDeviceLibrary card;
    FakeContainer container;
    framework::IBasePlugin* manager = nullptr;
    COrbitpaneImpl* plugin = nullptr;
};

}  // namespace orbitpane_test
