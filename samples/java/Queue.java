// Queue.java - a bounded queue
public class Queue {
   private int[] items = new int[16];
   private int head, tail;

   public boolean offer(int v) {
      if (tail - head == items.length) return false;
      items[tail++ % items.length] = v;
      return true;
   }

   public int poll() {
      return head == tail ? -1 : items[head++ % items.length];
   }
}
