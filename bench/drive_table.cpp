// drive_table: what reading the drives costs at start-up.
//
//   drive_table [PODS]
//
// Times drivesOfMountTable over the mount table of a Kubernetes node with
// PODS pods (default 120: some 500 mounts: each pod's shm, rootfs overlay, network
// namespace and service-account tmpfs; NFS volumes on every fourth pod, CSI disks
// with their pod binds on every sixth), asking this machine about the mount points
// as start-up does, and then this machine's own table. Prints milliseconds, each
// beside the target: start-up reads the drives in under 100 ms.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/drives/Drives.h"
#include "platform/drives/MountTable.h"

namespace {

std::string kubernetesNode(int pods) {
  std::string t;
  int id = 100;
  const auto row = [&](int parent, const std::string& dev, const std::string& root,
                       const std::string& target, const std::string& type,
                       const std::string& source) {
    t += std::to_string(id++) + " " + std::to_string(parent) + " " + dev + " " + root + " " +
         target + " rw,relatime shared:1 - " + type + " " + source + " rw\n";
  };
  row(1, "8:1", "/", "/", "ext4", "/dev/sda1");
  row(100, "0:22", "/", "/proc", "proc", "proc");
  row(100, "0:21", "/", "/sys", "sysfs", "sysfs");
  row(100, "0:5", "/", "/dev", "devtmpfs", "udev");
  row(100, "0:25", "/", "/run", "tmpfs", "tmpfs");
  row(100, "8:2", "/", "/boot/efi", "vfat", "/dev/sda2");
  for (int p = 0; p < pods; ++p) {
    const std::string pod = "/var/lib/kubelet/pods/6f1c2d3e-0000-4000-8000-" + std::to_string(p);
    const std::string task =
        "/run/containerd/io.containerd.runtime.v2.task/k8s.io/c" + std::to_string(p);
    row(104, "0:" + std::to_string(200 + p), "/",
        "/run/containerd/io.containerd.grpc.v1.cri/sandboxes/s" + std::to_string(p) + "/shm",
        "tmpfs", "shm");
    row(104, "0:" + std::to_string(1000 + p), "/", task + "/rootfs", "overlay", "overlay");
    row(104, "0:4", "net:[40265" + std::to_string(p) + "]", "/run/netns/cni-" + std::to_string(p),
        "nsfs", "nsfs");
    row(100, "0:" + std::to_string(2000 + p), "/",
        pod + "/volumes/kubernetes.io~projected/kube-api-access-x", "tmpfs", "tmpfs");
    if (p % 4 == 0) {
      row(100, "0:" + std::to_string(3000 + p), "/", pod + "/volumes/kubernetes.io~nfs/data",
          "nfs4", "nas:/export/v" + std::to_string(p));
    }
    if (p % 6 == 0) {
      const std::string dev = "8:" + std::to_string(16 + p);
      row(100, dev, "/",
          "/var/lib/kubelet/plugins/kubernetes.io/csi/ebs/pv" + std::to_string(p) + "/globalmount",
          "ext4", "/dev/nvme" + std::to_string(p) + "n1");
      row(100, dev, "/", pod + "/volumes/kubernetes.io~csi/pv" + std::to_string(p) + "/mount",
          "ext4", "/dev/nvme" + std::to_string(p) + "n1");
    }
  }
  return t;
}

template <typename F>
double millisecondsOf(F&& f, int rounds) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < rounds; ++i) f();
  const std::chrono::duration<double, std::milli> d = std::chrono::steady_clock::now() - start;
  return d.count() / rounds;
}

constexpr double kTargetMs = 100;

const char* verdict(double ms) {
  return ms < kTargetMs ? "met" : "MISSED";
}

}  // namespace

int main(int argc, char** argv) {
  const int pods = argc > 1 ? std::atoi(argv[1]) : 120;
  const std::string table = kubernetesNode(pods);
  size_t rows = 0;
  for (char c : table) rows += c == '\n';
  size_t drives = 0;
  const double node = millisecondsOf(
      [&] { drives = platform::drivesOfMountTable(table, "/sys").drives().size(); }, 20);
  std::printf("kubernetes node: %zu mounts, %zu drives, %.2f ms (target < %.0f ms: %s)\n", rows,
              drives, node, kTargetMs, verdict(node));
  const double own =
      millisecondsOf([&] { drives = platform::DriveTable::fromSystem().drives().size(); }, 20);
  std::printf("this machine: %zu drives, %.2f ms (target < %.0f ms: %s)\n", drives, own, kTargetMs,
              verdict(own));
  return 0;
}
