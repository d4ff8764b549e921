// SPDX-License-Identifier: MIT OR GPL-2.0
/*
 * fbsim: a simulated /dev/functionblocks for a virtual board. Every open file
 * gets its own 1 MiB window; each ioctl is handed, with access to the
 * caller's window, to a device server in user space that holds
 * /dev/functionblocks-server open, and the caller gets the server's result.
 * The module knows nothing of what the window holds.
 *
 * Server side: read() gives one request record (struct fbsim_request),
 * mmap() of 1 MiB at offset window * 1 MiB maps that caller's window, and
 * write() of a struct fbsim_answer completes the request. Without a server,
 * or when it goes away, ioctls fail with EIO; they never wait for one.
 */
#include <linux/fs.h>
#include <linux/idr.h>
#include <linux/kref.h>
#include <linux/list.h>
#include <linux/miscdevice.h>
#include <linux/mm.h>
#include <linux/module.h>
#include <linux/poll.h>
#include <linux/sched/signal.h>
#include <linux/slab.h>
#include <linux/spinlock.h>
#include <linux/uaccess.h>
#include <linux/vmalloc.h>
#include <linux/wait.h>

#include "fbsim_server.h"

#define FBSIM_WINDOW_SIZE 0x100000UL
#define FBSIM_WINDOW_PAGES (FBSIM_WINDOW_SIZE >> PAGE_SHIFT)

static unsigned int timeout_ms = 60000;
module_param(timeout_ms, uint, 0644);
MODULE_PARM_DESC(timeout_ms, "how long an ioctl waits for the server's answer (ms)");

/* One open file of /dev/functionblocks: its window and where it is mapped. */
struct fbsim_session {
	struct kref ref;
	void *window;
	int id;
	unsigned long base; /* user address of the caller's mapping, 0 if none */
};

enum fbsim_state { QUEUED, TAKEN, DONE };

struct fbsim_pending {
	struct kref ref;
	struct list_head link;
	struct fbsim_session *session;
	struct fbsim_request rec;
	enum fbsim_state state;
	int result;
	wait_queue_head_t done;
};

static DEFINE_SPINLOCK(lock); /* everything below and the pending states */
static DEFINE_IDR(sessions);
static LIST_HEAD(queued);
static LIST_HEAD(taken);
static DECLARE_WAIT_QUEUE_HEAD(server_wait);
static bool server_present;
static u32 next_id;

static void session_free(struct kref *ref)
{
	struct fbsim_session *s = container_of(ref, struct fbsim_session, ref);

	spin_lock(&lock);
	idr_remove(&sessions, s->id);
	spin_unlock(&lock);
	vfree(s->window);
	kfree(s);
}

static void pending_free(struct kref *ref)
{
	struct fbsim_pending *p = container_of(ref, struct fbsim_pending, ref);

	kref_put(&p->session->ref, session_free);
	kfree(p);
}

/* Completes a request and takes it off its list (lock held). The caller of
 * the ioctl still holds its own reference whenever the request is on a list,
 * so this never frees the request nor its session under the lock. */
static void finish(struct fbsim_pending *p, int result)
{
	list_del_init(&p->link);
	p->state = DONE;
	p->result = result;
	wake_up_all(&p->done);
	kref_put(&p->ref, pending_free); /* the lists' reference */
}

/* ---- the client device ---- */

static int client_open(struct inode *inode, struct file *file)
{
	struct fbsim_session *s = kzalloc(sizeof(*s), GFP_KERNEL);
	int id;

	if (!s)
		return -ENOMEM;
	s->window = vmalloc_user(FBSIM_WINDOW_SIZE);
	if (!s->window) {
		kfree(s);
		return -ENOMEM;
	}
	kref_init(&s->ref);
	idr_preload(GFP_KERNEL);
	spin_lock(&lock);
	/* Window offsets on the server side stay below 2 GiB (32-bit off_t). */
	id = idr_alloc_cyclic(&sessions, s, 1, 2048, GFP_NOWAIT);
	spin_unlock(&lock);
	idr_preload_end();
	if (id < 0) {
		vfree(s->window);
		kfree(s);
		return id;
	}
	s->id = id;
	file->private_data = s;
	return 0;
}

static int client_release(struct inode *inode, struct file *file)
{
	struct fbsim_session *s = file->private_data;

	kref_put(&s->ref, session_free);
	return 0;
}

static int client_mmap(struct file *file, struct vm_area_struct *vma)
{
	struct fbsim_session *s = file->private_data;
	int err;

	if (vma->vm_pgoff != 0 || vma->vm_end - vma->vm_start != FBSIM_WINDOW_SIZE)
		return -EINVAL;
	err = remap_vmalloc_range(vma, s->window, 0);
	if (err)
		return err;
	WRITE_ONCE(s->base, vma->vm_start);
	return 0;
}

static long client_ioctl(struct file *file, unsigned int cmd, unsigned long arg)
{
	struct fbsim_session *s = file->private_data;
	struct fbsim_pending *p;
	long left;
	int result;

	if (cmd > 1)
		return -ENOTTY;
	if (!READ_ONCE(s->base))
		return -EFAULT;
	p = kzalloc(sizeof(*p), GFP_KERNEL);
	if (!p)
		return -ENOMEM;
	kref_init(&p->ref); /* the caller's */
	init_waitqueue_head(&p->done);
	INIT_LIST_HEAD(&p->link);
	kref_get(&s->ref);
	p->session = s;
	p->rec.request = cmd;
	p->rec.caller_base = (u32)READ_ONCE(s->base);
	p->rec.window = s->id;

	spin_lock(&lock);
	if (!server_present) {
		spin_unlock(&lock);
		kref_put(&p->ref, pending_free);
		return -EIO;
	}
	p->rec.id = ++next_id;
	p->state = QUEUED;
	kref_get(&p->ref); /* the lists' */
	list_add_tail(&p->link, &queued);
	spin_unlock(&lock);
	wake_up_interruptible(&server_wait);

	/* A signal before the server took the request withdraws it untouched,
	 * so the call may be restarted. Once taken, only a fatal signal or the
	 * timeout stops the wait: the server is working on the window. */
	left = wait_event_interruptible(p->done, READ_ONCE(p->state) != QUEUED);
	spin_lock(&lock);
	if (left && p->state == QUEUED) {
		finish(p, -ERESTARTSYS);
		spin_unlock(&lock);
		kref_put(&p->ref, pending_free);
		return -ERESTARTSYS;
	}
	spin_unlock(&lock);
	left = wait_event_killable_timeout(p->done, READ_ONCE(p->state) == DONE,
					   msecs_to_jiffies(timeout_ms));
	spin_lock(&lock);
	if (p->state != DONE)
		finish(p, left == 0 ? -ETIMEDOUT : -EINTR);
	result = p->result;
	spin_unlock(&lock);
	kref_put(&p->ref, pending_free);
	return result;
}

static const struct file_operations client_fops = {
	.owner = THIS_MODULE,
	.open = client_open,
	.release = client_release,
	.mmap = client_mmap,
	.unlocked_ioctl = client_ioctl,
	.compat_ioctl = client_ioctl,
	.llseek = noop_llseek,
};

static struct miscdevice client_dev = {
	.minor = MISC_DYNAMIC_MINOR,
	.name = "functionblocks",
	.fops = &client_fops,
	.mode = 0660,
};

/* ---- the server device ---- */

static int server_open(struct inode *inode, struct file *file)
{
	spin_lock(&lock);
	if (server_present) {
		spin_unlock(&lock);
		return -EBUSY;
	}
	server_present = true;
	spin_unlock(&lock);
	return 0;
}

/* The server is gone: everything waiting fails. */
static int server_release(struct inode *inode, struct file *file)
{
	struct fbsim_pending *p, *n;

	spin_lock(&lock);
	server_present = false;
	list_for_each_entry_safe(p, n, &queued, link)
		finish(p, -EIO);
	list_for_each_entry_safe(p, n, &taken, link)
		finish(p, -EIO);
	spin_unlock(&lock);
	return 0;
}

static ssize_t server_read(struct file *file, char __user *buf, size_t len, loff_t *off)
{
	struct fbsim_pending *p;
	struct fbsim_request rec;
	int err;

	if (len < sizeof(rec))
		return -EINVAL;
	for (;;) {
		spin_lock(&lock);
		p = list_first_entry_or_null(&queued, struct fbsim_pending, link);
		if (p) {
			list_move_tail(&p->link, &taken);
			p->state = TAKEN;
			rec = p->rec;
			/* A caller killed now may finish and drop the request
			 * before the wake-up below: hold it until then. */
			kref_get(&p->ref);
			spin_unlock(&lock);
			wake_up_all(&p->done);
			kref_put(&p->ref, pending_free);
			break;
		}
		spin_unlock(&lock);
		if (file->f_flags & O_NONBLOCK)
			return -EAGAIN;
		err = wait_event_interruptible(server_wait, !list_empty(&queued));
		if (err)
			return err;
	}
	if (copy_to_user(buf, &rec, sizeof(rec)))
		return -EFAULT; /* the caller times out or is failed at release */
	return sizeof(rec);
}

static ssize_t server_write(struct file *file, const char __user *buf, size_t len, loff_t *off)
{
	struct fbsim_answer ans;
	struct fbsim_pending *p;

	if (len != sizeof(ans))
		return -EINVAL;
	if (copy_from_user(&ans, buf, sizeof(ans)))
		return -EFAULT;
	if (ans.result > 0 || ans.result < -MAX_ERRNO)
		return -EINVAL;
	spin_lock(&lock);
	list_for_each_entry(p, &taken, link) {
		if (p->rec.id == ans.id) {
			finish(p, ans.result);
			break;
		}
	}
	spin_unlock(&lock);
	/* An answer for a caller that gave up is dropped. */
	return sizeof(ans);
}

static __poll_t server_poll(struct file *file, poll_table *wait)
{
	__poll_t mask = EPOLLOUT | EPOLLWRNORM;

	poll_wait(file, &server_wait, wait);
	spin_lock(&lock);
	if (!list_empty(&queued))
		mask |= EPOLLIN | EPOLLRDNORM;
	spin_unlock(&lock);
	return mask;
}

static void server_vma_open(struct vm_area_struct *vma)
{
	struct fbsim_session *s = vma->vm_private_data;

	kref_get(&s->ref);
}

static void server_vma_close(struct vm_area_struct *vma)
{
	struct fbsim_session *s = vma->vm_private_data;

	kref_put(&s->ref, session_free);
}

static const struct vm_operations_struct server_vm_ops = {
	.open = server_vma_open,
	.close = server_vma_close,
};

static int server_mmap(struct file *file, struct vm_area_struct *vma)
{
	struct fbsim_session *s;
	unsigned long id = vma->vm_pgoff / FBSIM_WINDOW_PAGES;
	int err;

	if (vma->vm_pgoff % FBSIM_WINDOW_PAGES || vma->vm_end - vma->vm_start != FBSIM_WINDOW_SIZE)
		return -EINVAL;
	spin_lock(&lock);
	s = idr_find(&sessions, id);
	if (s && !kref_get_unless_zero(&s->ref))
		s = NULL;
	spin_unlock(&lock);
	if (!s)
		return -ENXIO;
	vma->vm_pgoff = 0; /* remap_vmalloc_range reads it as an offset into the window */
	err = remap_vmalloc_range(vma, s->window, 0);
	if (err) {
		kref_put(&s->ref, session_free);
		return err;
	}
	vma->vm_private_data = s;
	vma->vm_ops = &server_vm_ops;
	return 0;
}

static const struct file_operations server_fops = {
	.owner = THIS_MODULE,
	.open = server_open,
	.release = server_release,
	.read = server_read,
	.write = server_write,
	.poll = server_poll,
	.mmap = server_mmap,
	.llseek = noop_llseek,
};

static struct miscdevice server_dev = {
	.minor = MISC_DYNAMIC_MINOR,
	.name = "functionblocks-server",
	.fops = &server_fops,
	.mode = 0600,
};

static int __init fbsim_init(void)
{
	int err = misc_register(&server_dev);

	if (err)
		return err;
	err = misc_register(&client_dev);
	if (err)
		misc_deregister(&server_dev);
	return err;
}

static void __exit fbsim_exit(void)
{
	/* Every open file holds the module, so nothing is open here. */
	misc_deregister(&client_dev);
	misc_deregister(&server_dev);
	idr_destroy(&sessions);
}

module_init(fbsim_init);
module_exit(fbsim_exit);
MODULE_LICENSE("Dual MIT/GPL");
MODULE_DESCRIPTION("Simulated function-block device served from user space");
