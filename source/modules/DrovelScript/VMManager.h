// VMManager: the fixed pool of eight virtual machines that Program::run
// borrows from. The free stack starts with 0 at the bottom and 7 on top, so
// machine 7 is handed out first; a machine given back is the next one out.
#pragma once

#include "Core/Singleton.h"
#include "Core/Stack.h"

namespace Vantor {

class VirtualMachine;

class VMManager : public Singleton<VMManager> {
public:
    static constexpr int kMachineCount = 8;

    VMManager();
    VMManager(const VMManager&) = delete;
    VMManager& operator=(const VMManager&) = delete;
    ~VMManager();

    // A free machine; "Too many virtual machines in use" when all are out.
    VirtualMachine* getVM();
    // Puts the machine back. One that is not this pool's or is not out is
    // ignored, so that no machine is ever handed out twice.
    void releaseVM(VirtualMachine* machine);

    int freeCount() const { return int(freeMachines.size()); }

private:
    VirtualMachine* machines[kMachineCount] = {};
    bool inUse[kMachineCount] = {};
    Stack<int> freeMachines;
};

} // namespace Vantor
