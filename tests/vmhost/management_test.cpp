// The management tables of JVM_GetManagement.
#include <windows.h>

#include <cstring>
#include <thread>

#include "vm_session.h"

namespace {

static_assert(sizeof(VmCommandParameter) == 32);
static_assert(sizeof(VmExceptionCount) == 16);

class Management : public VmTest {
protected:
    void SetUp() override {
        VmTest::SetUp();
        standard = static_cast<VmManagement *>(JVM_GetManagement(JMM_VERSION_1_0));
        extension = static_cast<VmManagementExt *>(JVM_GetManagement(JMM_EXT_VERSION));
        ASSERT_NE(standard, nullptr);
        ASSERT_NE(extension, nullptr);
    }

    VmManagement *standard = nullptr;
    VmManagementExt *extension = nullptr;
};

TEST_F(Management, TablesByVersionAndOnlyWhenOffered) {
    EXPECT_EQ(JVM_GetManagement(0x20020000), nullptr);
    vmhostSetManagementTables(session->vm(), JNI_TRUE, JNI_FALSE);
    EXPECT_EQ(JVM_GetManagement(JMM_EXT_VERSION), nullptr);
    EXPECT_EQ(JVM_GetManagement(JMM_VERSION_1_0), standard);
}

TEST_F(Management, ThreadCountsFollowTheVmsThreads) {
    EXPECT_EQ(standard->getLong(env(), nullptr, JMM_THREAD_LIVE_COUNT), 1);
    EXPECT_EQ(standard->getLong(env(), nullptr, JMM_THREAD_DAEMON_COUNT), 0);
    JavaVM *vm = session->vm();
    jlong live = 0;
    jlong daemons = 0;
    std::thread other([&] {
        JNIEnv *otherEnv = nullptr;
        vm->AttachCurrentThreadAsDaemon(reinterpret_cast<void **>(&otherEnv), nullptr);
        live = standard->getLong(otherEnv, nullptr, JMM_THREAD_LIVE_COUNT);
        daemons = standard->getLong(otherEnv, nullptr, JMM_THREAD_DAEMON_COUNT);
        vm->DetachCurrentThread();
    });
    other.join();
    EXPECT_EQ(live, 2);
    EXPECT_EQ(daemons, 1);
}

TEST_F(Management, CollectionsCountAndDescribeTheLastOne) {
    vmhostCollectGarbage(env(), JNI_TRUE, JNI_FALSE);
    vmhostCollectGarbage(env(), JNI_FALSE, JNI_TRUE);
    EXPECT_EQ(standard->getLong(env(), nullptr, JMM_GC_COUNT), 2);
    EXPECT_GE(standard->getLong(env(), nullptr, JMM_GC_TIME_MS), 0);
    VmGcInfo info{};
    extension->fillLastGcInfo(&info);
    EXPECT_EQ(info.id, 2);
    EXPECT_EQ(info.flags[0], JNI_FALSE);
    EXPECT_EQ(info.flags[1], JNI_TRUE);
    EXPECT_EQ(extension->getLong(env(), nullptr, 152), info.values[1]);
}

TEST_F(Management, AttributesReadAndWritten) {
    vmhostSetLongAttribute(session->vm(), 102, 1234);
    EXPECT_EQ(extension->getLong(env(), nullptr, 102), 1234);
    EXPECT_EQ(extension->setLong(env(), nullptr, 104, 99), 1);
    EXPECT_EQ(extension->getLong(env(), nullptr, 104), 99);
    EXPECT_EQ(extension->setBool(env(), nullptr, 100, JNI_TRUE), JNI_TRUE);
    EXPECT_EQ(extension->getBool(env(), nullptr, 100), JNI_TRUE);
    EXPECT_EQ(extension->getLong(env(), nullptr, 601), static_cast<jlong>(GetCurrentProcessId()));
    vmhostSetOptionalSupport(session->vm(), VM_SUPPORTS_LOAD);
    VmOptionalSupport support;
    memset(&support, 0xFF, sizeof support);
    extension->getOptionalSupport(&support);
    EXPECT_EQ(support.bytes[0], VM_SUPPORTS_LOAD);
    EXPECT_EQ(support.bytes[19], 0);
    EXPECT_EQ(extension->getLong(env(), nullptr, 777), -1);
    EXPECT_EQ(takeProblems(), "the extension management table has no attribute 777\n");
    EXPECT_EQ(takeCallLog(), "management.setLong(104, 99)\nmanagement.setBool(100, true)\n");
}

TEST_F(Management, DataRecordsAndTheirRelease) {
    VmManagementData data{};
    ASSERT_EQ(extension->getData(env(), nullptr, 100, nullptr, &data), 0);
    ASSERT_EQ(data.count, 3);
    auto *strategies = static_cast<VmGcStrategy *>(data.elements);
    EXPECT_STREQ(strategies[1].name, "gencon");
    EXPECT_EQ(strategies[1].flags[2], JNI_TRUE);
    extension->freeData(env(), 100, &data);
    EXPECT_EQ(data.elements, nullptr);

    ASSERT_EQ(extension->getData(env(), nullptr, 252, "run_gc", &data), 0);
    auto *parameters = static_cast<VmCommandParameter *>(data.elements);
    ASSERT_EQ(data.count, 2);
    EXPECT_STREQ(parameters[0].name, "full");
    EXPECT_EQ(parameters[0].type, 'Z');
    EXPECT_EQ(parameters[0].required, JNI_TRUE);
    EXPECT_EQ(parameters[1].type, 'D');
    EXPECT_DOUBLE_EQ(parameters[1].value.d, 1.5);
    VmManagementData copy = data;
    extension->freeData(env(), 252, &data);
    extension->freeData(env(), 252, &copy);
    EXPECT_EQ(takeProblems(), "management operation freeData was given data that getData did not answer or that was "
                              "freed already\n");

    EXPECT_EQ(extension->getData(env(), nullptr, 251, "no_such_command", &data), -1);
    jint cpu = 1;
    ASSERT_EQ(extension->getData(env(), nullptr, 400, &cpu, &data), 0);
    EXPECT_DOUBLE_EQ(*static_cast<jdouble *>(data.elements), 0.5);
    EXPECT_EQ(vmhostCheck(session->vm()), 1);
    EXPECT_EQ(takeProblems(), "management data of attribute 400 got in thread \"main\" was never freed\n");
    extension->freeData(env(), 400, &data);
}

TEST_F(Management, CommandsThreadsAndAffinity) {
    EXPECT_EQ(extension->executeCommand(env(), "print_threads locks=true", 0), 0);
    EXPECT_LT(extension->executeCommand(env(), "format_disk", 0), 0);
    EXPECT_EQ(takeCallLog(), "management.executeCommand(print_threads locks=true, 0)\n");

    jthread self = nullptr;
    jvmtiEnv *jvmti = nullptr;
    session->vm()->GetEnv(reinterpret_cast<void **>(&jvmti), JVMTI_VERSION_1_0);
    jvmti->GetCurrentThread(&self);
    jvmti->DisposeEnvironment();
    jclass threadClass = env()->FindClass("java/lang/Thread");
    jlong tid = env()->GetLongField(self, env()->GetFieldID(threadClass, "tid", "J"));
    jlong ids[] = {tid, tid + 1000};
    jthread found[2] = {};
    EXPECT_EQ(extension->threadsById(env(), 2, ids, found), 1);
    EXPECT_TRUE(env()->IsSameObject(found[0], self));
    EXPECT_EQ(found[1], nullptr);

    jint affinity[] = {1, 0, 1, 1};
    EXPECT_EQ(extension->setData(env(), nullptr, 403, 2, affinity), 0);
    VmManagementData data{};
    ASSERT_EQ(extension->getData(env(), nullptr, 403, nullptr, &data), 0);
    ASSERT_EQ(data.count, 2);
    EXPECT_EQ(static_cast<jint *>(data.elements)[1], 0);
    extension->freeData(env(), 403, &data);
    EXPECT_EQ(extension->setData(env(), nullptr, 403, 4, affinity), -1) << "more than the VM's three processors";
}

} // namespace

namespace {

TEST_F(Management, GivenRecordsReplaceTheVmsAnswersAndOperationsFailOnDemand) {
    VmCommandParameter given[1] = {};
    given[0].name = const_cast<char *>("odd");
    given[0].description = const_cast<char *>("of no known type");
    given[0].type = 'Q';
    vmhostSetManagementData(session->vm(), 252, "custom", 1, given);
    given[0].name = nullptr; // the VM kept copies
    VmManagementData data{};
    ASSERT_EQ(extension->getData(env(), nullptr, 252, "custom", &data), 0);
    ASSERT_EQ(data.count, 1);
    auto *parameter = static_cast<VmCommandParameter *>(data.elements);
    EXPECT_STREQ(parameter->name, "odd");
    EXPECT_STREQ(parameter->description, "of no known type");
    EXPECT_EQ(parameter->type, 'Q');
    extension->freeData(env(), 252, &data);
    ASSERT_EQ(extension->getData(env(), nullptr, 252, "run_gc", &data), 0) << "other commands keep the VM's answer";
    EXPECT_EQ(data.count, 2);
    extension->freeData(env(), 252, &data);

    jclass npe = env()->FindClass("java/lang/NullPointerException");
    VmExceptionCount counts[1] = {{npe, 0, 99}};
    vmhostSetManagementData(session->vm(), 300, nullptr, 1, counts);
    ASSERT_EQ(extension->getData(env(), nullptr, 300, nullptr, &data), 0);
    auto *count = static_cast<VmExceptionCount *>(data.elements);
    EXPECT_TRUE(env()->IsSameObject(count->cls, npe));
    EXPECT_EQ(count->count, 99);
    extension->freeData(env(), 300, &data);

    vmhostFailManagement(session->vm(), "getData", 100, JNI_TRUE);
    EXPECT_EQ(extension->getData(env(), nullptr, 100, nullptr, &data), -1);
    EXPECT_EQ(data.elements, nullptr);
    vmhostFailManagement(session->vm(), "setLong", -1, JNI_TRUE);
    EXPECT_EQ(extension->setLong(env(), nullptr, 104, 1), 0);
    vmhostFailManagement(session->vm(), "setLong", -1, JNI_FALSE);
    EXPECT_EQ(extension->setLong(env(), nullptr, 104, 1), 1);
    vmhostFailManagement(session->vm(), "getData", 100, JNI_FALSE);
    ASSERT_EQ(extension->getData(env(), nullptr, 100, nullptr, &data), 0);
    extension->freeData(env(), 100, &data);
    takeCallLog();
}

} // namespace
