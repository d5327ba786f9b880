#include "vm_session.h"

#include "test_paths.h"

namespace {

jvalue callBody(JNIEnv *env, jobject self, const jvalue *args, void *context) {
    return (*static_cast<MethodBody *>(context))(env, self, args);
}

void releaseBody(void *context) { delete static_cast<MethodBody *>(context); }

std::string take(jint (*from)(char *, jint)) {
    std::string text;
    jint length = 0;
    do {
        text.assign(static_cast<size_t>(from(nullptr, 0)) + 1, '\0');
        length = from(text.data(), static_cast<jint>(text.size()));
    } while (static_cast<size_t>(length) >= text.size());
    text.resize(length);
    return text;
}

} // namespace

VmSession::VmSession(const std::vector<std::string> &options, bool startNow) {
    std::vector<std::string> texts = options;
    std::vector<JavaVMOption> vmOptions(texts.size());
    for (size_t i = 0; i < texts.size(); ++i)
        vmOptions[i].optionString = texts[i].data();
    JavaVMInitArgs args{};
    args.version = JNI_VERSION_1_8;
    args.nOptions = static_cast<jint>(vmOptions.size());
    args.options = vmOptions.data();
    createResult_ = vmhostCreateJavaVM(&vm_, &env_, &args);
    if (createResult_ != JNI_OK) {
        vm_ = nullptr;
        env_ = nullptr;
        return;
    }
    if (startNow)
        start();
}

VmSession::~VmSession() { destroy(); }

jint VmSession::start() { return vmhostStartJavaVM(vm_); }

jint VmSession::destroy() {
    if (vm_ == nullptr || destroyed_)
        return JNI_OK;
    destroyed_ = true;
    return vm_->DestroyJavaVM();
}

jclass VmSession::defineClass(const char *name, const char *superName) {
    return vmhostDefineClass(env_, name, superName, nullptr, nullptr, 0);
}

jmethodID VmSession::addMethod(jclass cls, const char *name, const char *signature, jint modifiers, MethodBody body) {
    return vmhostAddMethod(env_, cls, name, signature, modifiers, callBody, new MethodBody(std::move(body)), releaseBody);
}

jmethodID VmSession::addNative(jclass cls, const char *name, const char *signature, bool isStatic) {
    return vmhostAddMethod(env_, cls, name, signature, 0x100 | (isStatic ? 0x8 : 0), nullptr, nullptr, nullptr);
}

bool VmSession::loadLibrary(const char *fileName) { return vmhostLoadLibrary(env_, besideProgram(fileName).c_str()) == 0; }

std::string takeProblems() { return take(vmhostTakeProblems); }

std::string takeCallLog() { return take(vmhostTakeCallLog); }

std::string besideProgram(const char *fileName) { return outputDirectory() + "\\" + fileName; }

jvalue jvalueOf(jlong value) {
    jvalue v{};
    v.j = value;
    return v;
}

jvalue jvalueOf(jobject value) {
    jvalue v{};
    v.l = value;
    return v;
}

void VmTest::SetUp() {
    takeProblems();
    takeCallLog();
    session = std::make_unique<VmSession>();
    ASSERT_TRUE(session->created());
}

void VmTest::TearDown() {
    session.reset();
    EXPECT_EQ(takeProblems(), "") << "the VM found problems";
}
