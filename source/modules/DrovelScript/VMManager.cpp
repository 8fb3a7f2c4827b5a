// The pool of virtual machines.
#include "modules/DrovelScript/VMManager.h"

#include "Core/WinAppFramework/Exception.h"
#include "modules/DrovelScript/VirtualMachine.h"

namespace Vantor {

namespace {

const char* const sourceFile = "source\\modules\\DrovelScript\\VMManager";
constexpr int lineAllMachinesInUse = 35;

} // namespace

VMManager::VMManager() {
    freeMachines.items.autoShrink = false;
    freeMachines.items.reserve(kMachineCount);
    for (int i = 0; i < kMachineCount; ++i) {
        machines[i] = new VirtualMachine;
        machines[i]->poolIndex = i;
        freeMachines.push(i);
    }
}

VMManager::~VMManager() {
    for (VirtualMachine* machine : machines)
        delete machine;
}

VirtualMachine* VMManager::getVM() {
    if (freeMachines.empty())
        throw Exception("Too many virtual machines in use", "Vantor::VMManager::getVM", sourceFile,
                        lineAllMachinesInUse);
    const int index = freeMachines.top();
    freeMachines.pop();
    inUse[index] = true;
    return machines[index];
}

void VMManager::releaseVM(VirtualMachine* machine) {
    if (!machine)
        return;
    const int index = machine->poolIndex;
    if (index < 0 || index >= kMachineCount || machines[index] != machine || !inUse[index])
        return;
    inUse[index] = false;
    freeMachines.push(index);
}

} // namespace Vantor
