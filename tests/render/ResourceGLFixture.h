#pragma once
// The GL fixture with a game of one project, "game", and a resource manager,
// for tests that draw PNG resources found by id.
#include <memory>

#include "render/GLFixture.h"
#include "render/ResourceManager.h"
#include "render/TestGame.h"

class ResourceGLFixture : public GLFixture {
 protected:
  ResourceGLFixture() : game({"game"}) {}
  void TearDown() override {
    resources.reset();
    GLFixture::TearDown();
  }

  TestGame game;
  std::unique_ptr<GCore::ResourceManager> resources = std::make_unique<GCore::ResourceManager>();
};
