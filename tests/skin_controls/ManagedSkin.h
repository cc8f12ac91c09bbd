#pragma once
// A running skin manager for tests whose handlers' headers cannot sit beside
// the manager's (both declare a TacScrollBarsSupport). Defined in
// message_box_test.cpp; the manager lives while the answer does.

#include <memory>
#include <string>

std::shared_ptr<void> StartSkinManager(const std::string& Directory, const std::string& SkinName);
