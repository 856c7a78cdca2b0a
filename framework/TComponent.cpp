#include "framework/TComponent.h"

#include <algorithm>

namespace framework {

TComponent::TComponent(TComponent* AOwner) : FOwner(AOwner) {
  if (FOwner) FOwner->InsertComponent(this);
}

TComponent::~TComponent() {
  FDestroying = true;
  DestroyComponents();
  if (FOwner) FOwner->RemoveComponent(this);
}

void TComponent::DestroyComponents() {
  // Last created goes first, so later components may still use earlier ones.
  while (!FComponents.empty()) {
    TComponent* last = FComponents.back();
    FComponents.pop_back();
    last->FOwner = nullptr;
    delete last;
  }
}

void TComponent::InsertComponent(TComponent* component) { FComponents.push_back(component); }

void TComponent::RemoveComponent(TComponent* component) {
  if (FDestroying) return;
  auto it = std::find(FComponents.begin(), FComponents.end(), component);
  if (it != FComponents.end()) FComponents.erase(it);
}

}  // namespace framework
