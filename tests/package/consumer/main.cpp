// Uses a piece of each installed layer through its header path.
#include <Core/ArrayList.h>
#include <Core/Matrix4.h>
#include <Core/String.h>
#include <Core/WinAppFramework/Exception.h>
#include <modules/xml/XMLFile.h>

#include <cstdio>

int main() {
    Vantor::ArrayList<int> list;
    list.add(1);
    Vantor::String text("consumer");
    Vantor::TMatrix4<float> m;
    m.translate(1, 2, 3);
    try {
        Vantor::XMLFile file;
        file.load("no such file.xml");
    } catch (const Vantor::Exception& e) {
        text.append(" ok");
    }
    std::printf("%s %u %g\n", text.c_str(), list.size, double(m.m[12]));
    return 0;
}
