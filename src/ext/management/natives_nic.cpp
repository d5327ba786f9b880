// zun/vexil/NICImpl: an interface's hardware address and MTU from the system's adapter list.
#include <winsock2.h>
#include <iphlpapi.h>

#include <cstdio>
#include <cstdlib>

#include "native_caches.h"
#include "vm_binding.h"

namespace {

using GetAdaptersAddressesFunction = ULONG(WINAPI *)(ULONG, ULONG, PVOID, PIP_ADAPTER_ADDRESSES, PULONG);

jfieldID macField;
jfieldID mtuField;

// Looked up once; null when the system has no such entry.
GetAdaptersAddressesFunction adaptersFunction() {
    static GetAdaptersAddressesFunction function = [] {
        HMODULE library = LoadLibraryA("iphlpapi.dll");
        return library != nullptr
                   ? reinterpret_cast<GetAdaptersAddressesFunction>(GetProcAddress(library, "GetAdaptersAddresses"))
                   : nullptr;
    }();
    return function;
}

// The adapter list, malloc'd; null when there is none. A list that grew between the sizing call
// and the filling one is asked for again with the size the system gives.
IP_ADAPTER_ADDRESSES *adapterList() {
    GetAdaptersAddressesFunction function = adaptersFunction();
    if (function == nullptr)
        return nullptr;
    ULONG size = 0;
    IP_ADAPTER_ADDRESSES *list = nullptr;
    for (int attempt = 0; attempt < 8; ++attempt) {
        ULONG result = function(AF_UNSPEC, 0, nullptr, list, &size);
        if (result == NO_ERROR && list != nullptr)
            return list;
        free(list);
        list = nullptr;
        if (result != ERROR_BUFFER_OVERFLOW || size == 0)
            return nullptr;
        list = static_cast<IP_ADAPTER_ADDRESSES *>(malloc(size));
        if (list == nullptr)
            return nullptr;
    }
    free(list);
    return nullptr;
}

// "%02x:" per address byte without the last ':'; an empty text for an adapter with no address.
void macText(const IP_ADAPTER_ADDRESSES &adapter, char (&text)[128]) {
    text[0] = '\0';
    ULONG length = adapter.PhysicalAddressLength;
    if (length == 0 || length > MAX_ADAPTER_ADDRESS_LENGTH || length * 3 > sizeof text)
        return;
    for (ULONG i = 0; i < length; ++i)
        snprintf(text + i * 3, sizeof text - i * 3, "%02x:", adapter.PhysicalAddress[i]);
    text[length * 3 - 1] = '\0';
}

bool bindFields(JNIEnv *env, jclass cls) {
    macField = env->GetFieldID(cls, "mac", "Ljava/lang/String;");
    mtuField = macField != nullptr ? env->GetFieldID(cls, "mtu", "J") : nullptr;
    return mtuField != nullptr;
}

} // namespace

void vexil::forgetNicIds() {
    macField = nullptr;
    mtuField = nullptr;
}

extern "C" JNIEXPORT void JNICALL Java_zun_vexil_NICImpl_initIDs(JNIEnv *env, jclass cls) { bindFields(env, cls); }

extern "C" JNIEXPORT void JNICALL Java_zun_vexil_NICImpl_init(JNIEnv *env, jobject self, jint index) {
    if (macField == nullptr || mtuField == nullptr) {
        jclass cls = env->GetObjectClass(self);
        bool bound = bindFields(env, cls);
        env->DeleteLocalRef(cls);
        if (!bound)
            return;
    }
    char text[128] = "";
    jlong mtu = 0;
    IP_ADAPTER_ADDRESSES *list = adapterList();
    for (IP_ADAPTER_ADDRESSES *adapter = list; adapter != nullptr; adapter = adapter->Next) {
        if (adapter->IfIndex == static_cast<DWORD>(index)) {
            macText(*adapter, text);
            mtu = adapter->Mtu;
            break;
        }
    }
    free(list);
    jstring mac = env->NewStringUTF(text);
    if (mac == nullptr)
        return;
    env->SetObjectField(self, macField, mac);
    env->SetLongField(self, mtuField, mtu);
    env->DeleteLocalRef(mac);
}
